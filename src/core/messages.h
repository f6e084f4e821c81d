// The user-facing texts of the system, verbatim (leading and trailing blanks belong to them).
#pragma once

#include <string_view>

namespace core::msg {

inline constexpr std::string_view kAppCaption = "Quorvel Dravik for NTFS";
inline constexpr std::string_view kOutOfMemory = "Out of memory, close other applications and run again";

// Drive enumeration.
inline constexpr std::string_view kStorageDevice = "Storage Device";
inline constexpr std::string_view kUsbDevice = "USB Device";
inline constexpr std::string_view kMediaMissing = "Media missing or not inserted";
inline constexpr std::string_view kModelUnknown = "Unknown";
inline constexpr std::string_view kCapacitySuffix = " MB ( Approx )";
inline constexpr std::string_view kVexaNotFound = "Vexa32.dll not found or corrupted";
inline constexpr std::string_view kVexaCorrupted = "Vexa32.dll is corrupted";
inline constexpr std::string_view kVexbNotFound = "Vexb2.dll is corrupted or not found.";
inline constexpr std::string_view kVexbCorrupted = "Vexb2.dll is corrupted";

// Partition table walk and quick search.
inline constexpr std::string_view kFsNameFat16 = "FAT16";
inline constexpr std::string_view kFsNameFat32 = "FAT32";
inline constexpr std::string_view kFsNameNtfs = "NTFS";
inline constexpr std::string_view kPartitionItemPrefix = "Partition ";
inline constexpr std::string_view kPartitionItemSeparator = " - ";
inline constexpr std::string_view kPartitionTypeLabel = "Partition Type  ";
inline constexpr std::string_view kPartitionStartLabel = "Partition Start    ";
inline constexpr std::string_view kPartitionEndLabel = "Partition End      ";
inline constexpr std::string_view kPartitionSizeLabel = "Partition Size     ";
inline constexpr std::string_view kPartitionSizeSuffix = " MB ( Aprox )";
inline constexpr std::string_view kNoPartitionsQuickSearch =
    " No partitions found, going to make a quick search for missing partitions";
inline constexpr std::string_view kSearchingForPartitions = "Searching For Partitions";
inline constexpr std::string_view kNoPartitionStandard = "No partition found, use advance mode to recover the data";
inline constexpr std::string_view kNoPartitionAdvance =
    "No partition found, select file system type, and press next to search the full disk or you can define the "
    "searching range";

// GUID partition tables: the names of what a partition holds when it is no FAT or NTFS volume,
// the note when the backup table had to be read, and why such a partition is not scanned.
inline constexpr std::string_view kSchemeMbr = "MBR";
inline constexpr std::string_view kSchemeGpt = "GPT";
inline constexpr std::string_view kVolumeBitLocker = "BitLocker";
inline constexpr std::string_view kGptTypeEfiSystem = "EFI System";
inline constexpr std::string_view kGptTypeMicrosoftReserved = "Microsoft Reserved";
inline constexpr std::string_view kGptTypeBasicData = "Basic Data";
inline constexpr std::string_view kGptTypeWindowsRecovery = "Windows Recovery";
inline constexpr std::string_view kGptTypeLdmMetadata = "LDM Metadata";
inline constexpr std::string_view kGptTypeLdmData = "LDM Data";
inline constexpr std::string_view kGptTypeStorageSpaces = "Storage Spaces";
inline constexpr std::string_view kGptTypeBiosBoot = "BIOS Boot";
inline constexpr std::string_view kGptTypeLinux = "Linux";
inline constexpr std::string_view kGptTypeLinuxSwap = "Linux Swap";
inline constexpr std::string_view kGptTypeLinuxLvm = "Linux LVM";
inline constexpr std::string_view kGptTypeLinuxRaid = "Linux RAID";
inline constexpr std::string_view kGptTypeLinuxRoot = "Linux Root";
inline constexpr std::string_view kGptTypeLinuxHome = "Linux Home";
inline constexpr std::string_view kGptTypeLinuxLuks = "Linux LUKS";
inline constexpr std::string_view kGptTypeAppleHfs = "Apple HFS+";
inline constexpr std::string_view kGptTypeAppleApfs = "Apple APFS";
inline constexpr std::string_view kGptTypeUnknown = "Unknown";
inline constexpr std::string_view kGptBackupUsedPrefix =
    "GPT: the primary partition table is damaged, using the backup table at sector ";
inline constexpr std::string_view kBitLockerPartition =
    "This partition is encrypted with BitLocker. Unlock it first (on Linux with \"cryptsetup bitlk\" or "
    "dislocker), then scan the unlocked device.";
inline constexpr std::string_view kNoReadableFileSystem =
    "This partition holds no FAT or NTFS file system. Select an NTFS partition, or use Advance Scan to search "
    "its sectors.";

// Opening a drive: why it failed.
inline constexpr std::string_view kPermissionHint = " (run as root or join the `disk` group to read disks)";
inline constexpr std::string_view kNoSuchDrive = "No such drive";
// Asked after a disk of the machine could not be opened for lack of rights, when pkexec can give them.
inline constexpr std::string_view kRestartWithRightsQuestion =
    "\n\nRestart Quorvel Dravik for NTFS with administrator rights to read this disk ?";
inline constexpr std::string_view kNoDevicePath = "This drive has no device path (only drives 0 to 9 can be opened)";
// Opening a disk image of another format than raw: why its library could not open it.
inline constexpr std::string_view kImageNotReadable = "not a readable image";
inline constexpr std::string_view kParentImagePrefix = "parent image ";
inline constexpr std::string_view kParentImageMissing = "no such file";
inline constexpr std::string_view kParentChainLoops = "its chain of parent images loops or is too long";
inline constexpr std::string_view kBackingNotQcow = "backing files other than QCOW images are not supported";
inline constexpr std::string_view kImageEncrypted = "the image is encrypted";
// The Open Disk Image dialog's file types: the accepted formats (told by content, whatever the
// name), then every file.
inline constexpr std::string_view kDiskImagePatterns =
    "Disk images (*.img *.dd *.raw *.bin *.iso *.E01 *.e01 *.Ex01 *.S01 *.vhd *.vhdx *.vmdk *.qcow *.qcow2 "
    "*.001 *.000 *.aa);;All files (*)";

// Orphan pass and folder tree.
inline constexpr std::string_view kSearchingForLostData = "Searching For Lost Data";
inline constexpr std::string_view kCreatingDirectoryTree = "Creating Directory Tree";
inline constexpr std::string_view kPlaceholderFolderPrefix = "Dir";

// Recovery snapshot files.
inline constexpr std::string_view kUnableToOpenFile = "Unable to open the file";
inline constexpr std::string_view kInvalidSnapshotTag = "    Invalid version of the file found : ";
inline constexpr std::string_view kSnapshotVersionMismatch =
    "              version of file does not match with current version 1.0";
inline constexpr std::string_view kSnapshotDamaged = "The file is damaged or incomplete, nothing was loaded";
inline constexpr std::string_view kSnapshotReadFailed = "Unable to read the file, nothing was loaded";
inline constexpr std::string_view kSnapshotWriteFailed = "Unable to write the file, the snapshot is incomplete";
inline constexpr std::string_view kSnapshotNameTooLong =
    "A name is longer than 255 characters, the snapshot was not saved";

// Standard Scan.
inline constexpr std::string_view kCalculatingPartitionParameters = "Calculating partition parameters";
inline constexpr std::string_view kReadingSectorPrefix = "Reading Sector ";
inline constexpr std::string_view kReadingSectorOf = " Of ";
inline constexpr std::string_view kStandardScanNotPossible = "Recovery is not possible in Standard scan, use Sdvance scan";
inline constexpr std::string_view kRecoveryAbortedByUser = "Recovery procedure aborted by user";
inline constexpr std::string_view kStandardScanDone =
    "If you don't find your file(s) or folder(s) here, you can use \"Advance scan\"";
inline constexpr std::string_view kFatPartitionStandard =
    "This is FAT partition. If earlier it was NTFS partition and you want to recover it use Advance Scan OR "
    "download the Dravik for FAT.";

// Recovery settings dialog and the matching command-line options.
inline constexpr std::string_view kRecoverySettingsCaption = "Recovery Settings";
inline constexpr std::string_view kSectorsGroup = "Sectors to read in single attempt";
inline constexpr std::string_view kSectorsLabel = "Sectors to read in single attempt";
inline constexpr std::string_view kDuplicateGroup = "Setting of duplicate file(s)";
inline constexpr std::string_view kRenameDuplicates = "Rename duplicate file(s)";
inline constexpr std::string_view kOverwriteDuplicates = "Overwrite duplicate file(s)";
inline constexpr std::string_view kSkipDuplicates = "Skip duplicate file(s)";
inline constexpr std::string_view kDeletedGroup = "Setting for deleted file(s)";
inline constexpr std::string_view kIncludeDeleted = "Include deleted file(s)";
inline constexpr std::string_view kOnlyDeleted = "Recover only deleted file(s)";
inline constexpr std::string_view kExcludeDeleted = "Exclude deleted file(s)";
inline constexpr std::string_view kBadSectorsGroup = "Setting for bad sectors";
inline constexpr std::string_view kRetriesLabel = "Number of retries on bad sector(s)";
inline constexpr std::string_view kSettingsOk = "OK";
inline constexpr std::string_view kSettingsCancel = "Cancel";
inline constexpr std::string_view kChunkOptionRange = "--chunk takes a number of sectors from 1 to 100";
inline constexpr std::string_view kRetriesOptionRange = "--retries takes a number of retries from 1 to 10";

// Advance Scan: sweep, identification of the file systems, mount, and the range of the partition step.
inline constexpr std::string_view kFileSystemsRoot = "File Systems";
inline constexpr std::string_view kFoundFileSystemPrefix = "NTFS @";
inline constexpr std::string_view kAssignMftNumbers = "Assign MFT numbers ";
inline constexpr std::string_view kAssignMftNumbersOf = " \\ ";
inline constexpr std::string_view kIdentifyFileSystems = "Identify the file system(s)";
inline constexpr std::string_view kExtractingEntries = "Extracting entries for the file system";
inline constexpr std::string_view kCreatingTreeStructure = "Creating Tree Structure";
inline constexpr std::string_view kFileSystemSizeSuffix = " MB";
inline constexpr std::string_view kStartSectorNotValid =
    "      Start sector value is not valid, It should be a positive number";
inline constexpr std::string_view kEndSectorNotValid = "      End sector value is not valid, It should be a positive number";
inline constexpr std::string_view kEndBeforeStart = "      End sector should be bigger than start sector";
inline constexpr std::string_view kStartBeyondDrive = "Start sector lies beyond the end of the drive (";
inline constexpr std::string_view kStartBeyondDriveEnd = " sectors)";
inline constexpr std::string_view kPartitionEndClamped = "end beyond the disk: clamped to its last sector";
inline constexpr std::string_view kRangeClipped =
    "The end sector lies beyond the end of the drive: the scan ends at sector ";

// File extraction and batch recovery.
inline constexpr std::string_view kErrorCreatingFile = "Error creating file : ";
inline constexpr std::string_view kContinueRecovery = ".  Continue Recovery ? ";
inline constexpr std::string_view kCopyNamePrefix = "Copy (";
inline constexpr std::string_view kCopyNameOf = " ) of ";
inline constexpr std::string_view kSaveProgressCaption = "Saving the data please wait";
inline constexpr std::string_view kSavePathLabel = "Path";
inline constexpr std::string_view kSaveFileNameLabel = "File Name";
inline constexpr std::string_view kSaveTotalFilesLabel = "Total Files";
inline constexpr std::string_view kStopSaving = "&Stop Saving";
inline constexpr std::string_view kSkipFile = "S&kip File";

// What became of each file of a batch, its summary counts and the log of "&Open Log" (the
// command line prints the same words).
inline constexpr std::string_view kOutcomeWritten = "written";
inline constexpr std::string_view kOutcomeRenamed = "renamed";
inline constexpr std::string_view kOutcomeStopped = "stopped";
inline constexpr std::string_view kOutcomeCutShort = "cut short";
inline constexpr std::string_view kOutcomeNotStarted = "not started";
inline constexpr std::string_view kOutcomeEmptyFile = "skipped: empty file";
inline constexpr std::string_view kOutcomeFilteredOut = "skipped: filtered out";
inline constexpr std::string_view kOutcomeExcludedDeleted = "skipped: deleted-file setting";
inline constexpr std::string_view kOutcomeDuplicate = "skipped: duplicate";
inline constexpr std::string_view kOutcomeNoDataAttribute = "error: no data attribute";
inline constexpr std::string_view kOutcomeResidentTooLarge = "error: resident data shorter than the size";
inline constexpr std::string_view kOutcomeNoDataRun = "error: no data run";
inline constexpr std::string_view kOutcomeCannotCreate = "error: cannot create";
inline constexpr std::string_view kOutcomeWriteFailed = "error: write failed";
inline constexpr std::string_view kOutcomeNotReached = "error: not reached through its folders";
inline constexpr std::string_view kOutcomeRecordNotFile = "error: its FILE record is no FILE record now";
inline constexpr std::string_view kOutcomeRecordTorn = "error: its FILE record is torn (update sequence differs)";
inline constexpr std::string_view kOutcomeRecordOfOtherFile = "error: its FILE record holds another file now";
inline constexpr std::string_view kOutcomeUnknown = "unknown";
inline constexpr std::string_view kSummaryWritten = "written";
inline constexpr std::string_view kSummaryRenamed = "renamed";
inline constexpr std::string_view kSummarySkipped = "skipped";
inline constexpr std::string_view kSummaryErrors = "errors";
inline constexpr std::string_view kSummaryCutShort = "cut short";
inline constexpr std::string_view kSummaryPartial = "left as .partial";
// dravik-cli's answer to "Continue Recovery ?", printed after the question (the wizard's buttons
// are "&Yes" and "&No").
inline constexpr std::string_view kCliAnswerContinue = "yes (--on-error continue)";
inline constexpr std::string_view kCliAnswerStop = "no (--on-error stop)";
inline constexpr std::string_view kSummaryUnreadable = "with unreadable sectors";
inline constexpr std::string_view kSummaryIncomplete = "incomplete";
inline constexpr std::string_view kSummaryFoldersCreated = "folders created";
inline constexpr std::string_view kSummaryStopped = "stopped";
inline constexpr std::string_view kLogHeading = "Recovery into ";
inline constexpr std::string_view kLogFolderNotMade = "error: folder not made";
inline constexpr std::string_view kLogUnreadableSectors = " unreadable sectors written as zeros)";
inline constexpr std::string_view kLogIncomplete = "(incomplete: clusters not found written as zeros)";
inline constexpr std::string_view kLogPartial = "-> ";  // then the ".partial" name the bytes were kept under
inline constexpr std::string_view kBatchNotWhole = "Not every file was recovered whole.\n\n";
// The per-file report of the last batch: the offer after it, the menu item, the save dialog's
// file types and the failure to write it.
inline constexpr std::string_view kSaveReport = "Save Report...";
inline constexpr std::string_view kReportPattern = "Reports (*.csv *.jsonl)";
inline constexpr std::string_view kReportNotSaved = "The report could not be written: ";

// Wizard: quick help of the steps and of the workers, the questions of Stop and Exit, the panel.
inline constexpr std::string_view kQuickHelpStep0 =
    "\r\n                1. Select the disk to scan from left pane.\r\n                2. Select the scan type.\r\n"
    "                3. Click Next Button.";
inline constexpr std::string_view kQuickHelpStep1 =
    "\r\n                1. Select the partition to recover from left pane or use Search Partitions for a quick "
    "search of missing partitions.\r\n                2. Click Next Button";
inline constexpr std::string_view kQuickHelpStep2 =
    "\r\n                1. Select the file system to recover from left pane.\r\n                2. Click Next Button.";
inline constexpr std::string_view kQuickHelpStep3 =
    "\r\n                Please select the file(s) and folder(s) to recover from right pane and copy using   Recover "
    "Selected      or                             Recover All options from the Recovery Menu.\r\n                You "
    "can open a file by Double Clicking it.";
inline constexpr std::string_view kQuickHelpStandardScan =
    "\r\n                Dravik is searching the data of the selected partition, once this process is completed it "
    "will show you the data.";
inline constexpr std::string_view kQuickHelpAdvanceScan =
    "\r\n                Dravik is searching the data in selected range. Once this process is completed it will show "
    "you all the possible                      file systems.";
inline constexpr std::string_view kQuickHelpQuickSearch =
    "\r\n                Please wait, Dravik is doing a quick search for partition(s), once this process is completed "
    "it will show you all                        the partition(s) found.";
inline constexpr std::string_view kQuickHelpMount =
    "\r\n                Dravik is mounting the selected file system. Once this process is completed, it will show "
    "you the data.";
inline constexpr std::string_view kStopQuestion = "Do you want to stop the current process ?";
inline constexpr std::string_view kExitQuestion = "Do you really want to exit ?";
inline constexpr std::string_view kFatPartitionAdvance =
    "This is FAT partition. If earlier it was NTFS partition and you want to recover it select NTFS in File System "
    "Box OR download the Dravik for FAT.";
inline constexpr std::string_view kMountingVolume = "Mounting volume, please wait...";
inline constexpr std::string_view kModelLabel = "Model                  ";
inline constexpr std::string_view kCapacityLabel = "Capacity              ";
inline constexpr std::string_view kCylindersLabel = "Cylinders              ";
inline constexpr std::string_view kHeadLabel = "Head                   ";
inline constexpr std::string_view kSectorsPerTrackLabel = "Sectors Per Track ";
inline constexpr std::string_view kFoldersFoundLabel = "Folder(s) Found    ";
inline constexpr std::string_view kFilesFoundLabel = "File(s) Found      ";
inline constexpr std::string_view kCurrentSectorLabel = "Current Sector       ";
inline constexpr std::string_view kLastFileFolderLabel = "Last File/Folder       ";
inline constexpr std::string_view kBootSectorsFoundLabel = "Boot Sector(s) Found    ";
inline constexpr std::string_view kIndexEntriesFoundLabel = "Index Entries Found  ";
inline constexpr std::string_view kSweepFilesFoundLabel = "File(s) Found  ";
inline constexpr std::string_view kSweepFoldersFoundLabel = "Folder(s) Found       ";
inline constexpr std::string_view kSweepCurrentSectorLabel = "Current Sector        ";
inline constexpr std::string_view kFileSystemStartLabel = "File System Start  ";
inline constexpr std::string_view kSectorsPerClusterLabel = "Sectors Per Cluster  ";
inline constexpr std::string_view kMftStartLabel = "MFT Start  ";
inline constexpr std::string_view kMftMirrorStartLabel = "MFT Mirror Start";
inline constexpr std::string_view kFileSystemSizeLabel = "File System Size  ";
inline constexpr std::string_view kDetailsColumn = "                                            Details";
inline constexpr std::string_view kOpenDiskImage = "Open Disk &Image...";

// Browse commands.
inline constexpr std::string_view kAboutText = "Quorvel Dravik for NTFS Version 4.02";
inline constexpr std::string_view kOpenLogText = "here show the technical report of the present data recovery";
inline constexpr std::string_view kTemporaryFolderFailed =
    "The folder for opened files could not be made (in $XDG_RUNTIME_DIR, $TMPDIR or /tmp)";
inline constexpr std::string_view kHelpFileName = "Quorvel Dravik for NTFS.chm";
inline constexpr std::string_view kHelpFileMissing = " Quorvel Dravik for NTFS.chm not found";
inline constexpr std::string_view kUpdaterFileName = "Dravik Live Update.exe";
inline constexpr std::string_view kUpdaterParameter = "<QDNXD>";
inline constexpr std::string_view kUpdaterMissing = "Live Update file not found. Please re-instaill the software.";
inline constexpr std::string_view kUpdaterQuestion =
    "The application will be closed if you want to run Live Update of the software. Continue ?";
inline constexpr std::string_view kSnapshotPattern = "*.QDNX";
// The open dialog shows the files snapshots are really saved as (".QDN") beside the pattern above.
inline constexpr std::string_view kSnapshotOpenPatterns = "*.QDNX *.QDN";
inline constexpr std::string_view kReplaceFilePrefix = "The file ";
inline constexpr std::string_view kReplaceFileSuffix = " already exists. Do you want to replace it ?";
inline constexpr std::string_view kSizeKbSuffix = " KB";
inline constexpr std::string_view kSizeMbSuffix = " MB";
inline constexpr std::string_view kLessThanOne = "Less than 1";
inline constexpr std::string_view kContainsFiles = " File(s) and ";
inline constexpr std::string_view kContainsFolders = " Folder(s)";
inline constexpr std::string_view kNotApplicable = "N/A";

// Find File(s) and File Filters dialogs.
inline constexpr std::string_view kStopSearchQuestion = "Do you want to stop file searching ?";
inline constexpr std::string_view kPatternTableFull = "      You cannot add more patterns     ";
inline constexpr std::string_view kPatternTooLong = "      Pattern length exceeds the limit     ";
inline constexpr std::string_view kPatternBlank = "      Blank entry not allowed     ";
inline constexpr std::string_view kPatternExists = "      Pattern already exists in he list     ";

// Main window: tooltips, menus, tool buttons and the context menu.
inline constexpr std::string_view kTipNext = "Go to next step";
inline constexpr std::string_view kTipBack = "Go to previous step";
inline constexpr std::string_view kTipStop = "stops the current process";
inline constexpr std::string_view kTipSearchPartitions = "Click here to make a quick search of lost partitions";
inline constexpr std::string_view kTipRecoverSelected = "Copy the selected file(s) and folder(s) to your computer";
inline constexpr std::string_view kTipRecoverAll = "Copy all the file(s) and folder(s) to your computer";
inline constexpr std::string_view kTipSaveSnapshot =
    "Saves the snapshot of scan information, so that later on you need not to scan the disk again";
inline constexpr std::string_view kTipLoadSnapshot = "Loads the data from previously saved scan information";
inline constexpr std::string_view kTipFindFiles = "Search the file(s) in the recovered data";
inline constexpr std::string_view kTipSettings = "Configures the software";
inline constexpr std::string_view kTipLiveUpdate = "Updates the software with latest changes from internet";
inline constexpr std::string_view kScanTypeCaption = "Scan Type";
inline constexpr std::string_view kSelectFileSystem = "Select File System";
inline constexpr std::string_view kStartSectorCaption = "Start Sector";
inline constexpr std::string_view kEndSectorCaption = "End Sector";
inline constexpr std::string_view kMenuRecovery = "&Recovery";
inline constexpr std::string_view kMenuRecoverSelected = "&Recover Selected...";
inline constexpr std::string_view kMenuRecoverAll = "Recover &All...";
inline constexpr std::string_view kMenuSaveSnapshot = "&Save Recovery Snapshot...";
inline constexpr std::string_view kMenuLoadSnapshot = "&Load Recovery Snapshot...";
inline constexpr std::string_view kMenuExit = "E&xit...";
inline constexpr std::string_view kMenuView = "&View";
inline constexpr std::string_view kMenuIcons = "Ico&ns";
inline constexpr std::string_view kMenuList = "&List";
inline constexpr std::string_view kMenuDetails = "&Details";
inline constexpr std::string_view kMenuTools = "&Tools";
inline constexpr std::string_view kMenuFindFiles = "&Find Files...";
inline constexpr std::string_view kMenuFileFilters = "File Fi&lters...";
inline constexpr std::string_view kMenuSettings = "Se&ttings...";
inline constexpr std::string_view kMenuOpenLog = "&Open Log";
inline constexpr std::string_view kMenuDriveInformation = "&Drive Information";
inline constexpr std::string_view kMenuLiveUpdate = "Live &Update";
inline constexpr std::string_view kMenuHelp = "&Help";
inline constexpr std::string_view kMenuContents = "&Contents";
inline constexpr std::string_view kMenuAbout = "&About Quorvel Dravik...";
inline constexpr std::string_view kMenuAboutSystem = "&About Dravik...";
inline constexpr std::string_view kContextMenuCaption = "Right Click";
inline constexpr std::string_view kContextOpen = "&Open";
inline constexpr std::string_view kContextOpenWith = "Open &With...";
inline constexpr std::string_view kContextIcons = "Ico&ns     ";
inline constexpr std::string_view kContextRename = "Re&name";
inline constexpr std::string_view kContextSettings = "&Settings...";
inline constexpr std::string_view kContextProperties = "&Properties...";
inline constexpr std::string_view kPropertiesCaption = "File/Folder Properties";
inline constexpr std::string_view kDriveInformationCaption = "Drive Information";
inline constexpr std::string_view kFindFilesCaption = "Find File(s)";
inline constexpr std::string_view kFileFiltersCaption = "File Filters";

// Recoverability of deleted files, the browse step's preview and status line.
inline constexpr std::string_view kColumnRecoverable = "Recoverable";
inline constexpr std::string_view kRecoverableUnknown = "?";
inline constexpr std::string_view kRecoverableNotRated = "\xE2\x80\x93";  // an en dash, UTF-8
inline constexpr std::string_view kMinRecoverableLabel = "Only files at least this % recoverable:";
inline constexpr std::string_view kMinRecoverableNone = "Any";
inline constexpr std::string_view kStatusFolder = " folder";
inline constexpr std::string_view kStatusFolders = " folders";
inline constexpr std::string_view kStatusFile = " file";
inline constexpr std::string_view kStatusFiles = " files";
inline constexpr std::string_view kStatusDeleted = " deleted";
inline constexpr std::string_view kStatusBytes = " bytes";
inline constexpr std::string_view kStatusSelected = "    Selected: ";
inline constexpr std::string_view kMenuPreview = "&Preview";
inline constexpr std::string_view kPreviewNothing = "Select a file to preview it.";
inline constexpr std::string_view kPreviewReading = "Reading...";
inline constexpr std::string_view kPreviewFailed = "The file could not be read.";
inline constexpr std::string_view kPreviewTruncated = "Only the beginning of the file is shown.";
inline constexpr std::string_view kPreviewDamaged = "Parts of the file could not be read and are shown as zeros.";
inline constexpr std::string_view kPreviewFolder = "No preview for a folder.";

}  // namespace core::msg
