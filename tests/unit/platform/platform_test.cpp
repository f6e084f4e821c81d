// The platform layer: drive discovery over a fake sysfs, identification, the read-only source.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "core/messages.h"
#include "disk/disk_state.h"
#include "disk/drive_enumeration.h"
#include "disk/system_drive_probe.h"
#include "platform/drive_discovery.h"
#include "platform/file_source.h"
#include "platform/os_identity.h"
#include "platform/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class TempDir
{
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "dravik-platform-XXXXXX").string();
        m_path = ::mkdtemp(tmpl.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void WriteText(const fs::path& p, const std::string& text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

std::vector<char> ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fake /sys/block and /dev: each disk is a directory under sys/devices linked from
// sys/block/<name>, with size (512-byte units), device/vendor and device/model.
class FakeMachine
{
public:
    FakeMachine() : roots{dir.path() / "sys" / "block", dir.path() / "dev"}
    {
        fs::create_directories(roots.sysBlock);
        fs::create_directories(roots.dev);
    }

    void AddDisk(const std::string& name, std::uint64_t sectors, const std::string& vendor, const std::string& model,
                 bool usb = false)
    {
        const fs::path dev = dir.path() / "sys" / "devices" / "pci0000:00" /
                             (usb ? "0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0" : "0000:00:17.0/ata1") /
                             "block" / name;
        WriteText(dev / "size", std::to_string(sectors) + "\n");
        if (!vendor.empty()) {
            WriteText(dev / "device" / "vendor", vendor + "    \n");
        }
        WriteText(dev / "device" / "model", model + "          \n");
        fs::create_symlink(dev, roots.sysBlock / name);
        std::ofstream(roots.dev / name, std::ios::binary).write("", 0);
    }

    TempDir dir;
    platform::DiscoveryRoots roots;
};

TEST(WholeDiskNames, OnlyWholeDisksOfKnownKinds)
{
    for (const char* yes : {"sda", "sdz", "sdaa", "nvme0n1", "nvme12n3", "vda", "hda", "mmcblk0", "xvda"}) {
        EXPECT_TRUE(platform::IsWholeDiskName(yes)) << yes;
    }
    for (const char* no : {"sda1", "nvme0n1p1", "nvme0c0n1", "nvme0", "mmcblk0p1", "mmcblk0boot0", "loop0", "ram0",
                           "zram0", "dm-0", "md0", "sr0", "xvda1", "sd", "vd1"}) {
        EXPECT_FALSE(platform::IsWholeDiskName(no)) << no;
    }
}

TEST(Discovery, ImagesFirstThenDisksSortedByName)
{
    FakeMachine m;
    m.AddDisk("sdb", 2048, "ATA", "Second");
    m.AddDisk("nvme0n1", 4096, "", "Samsung SSD 980");
    m.AddDisk("sda", 1024, "ATA", "First");
    fs::create_directories(m.roots.sysBlock / "loop0");
    fs::create_directories(m.roots.sysBlock / "dm-0");
    fs::create_directories(m.roots.sysBlock / "sda1");
    const std::vector<std::string> images{"/x/b.img", "/y/a.img"};
    const auto drives = platform::DiscoverDrives(images, m.roots);
    ASSERT_EQ(drives.size(), 5u);
    EXPECT_EQ(drives[0].name, "b.img");
    EXPECT_TRUE(drives[0].isImage);
    EXPECT_EQ(drives[1].devicePath, "/y/a.img");
    EXPECT_EQ(drives[2].name, "nvme0n1");
    EXPECT_EQ(drives[3].name, "sda");
    EXPECT_EQ(drives[3].devicePath, (m.roots.dev / "sda").string());
    EXPECT_EQ(drives[4].name, "sdb");
}

TEST(Discovery, IdentityFromSysfs)
{
    FakeMachine m;
    m.AddDisk("sda", 2 * 255 * 63 + 1, "ATA", "WDC WD5000");
    m.AddDisk("sdb", 1000, "Generic", "Flash", true);
    m.AddDisk("nvme0n1", 8, "", "Samsung SSD 980");
    const auto drives = platform::DiscoverDrives({}, m.roots);
    ASSERT_EQ(drives.size(), 3u);
    const auto nvme = platform::IdentifyDrive(drives[0], m.roots);
    ASSERT_TRUE(nvme);
    EXPECT_EQ(nvme->model, "Samsung SSD 980");
    const auto sda = platform::IdentifyDrive(drives[1], m.roots);
    ASSERT_TRUE(sda);
    EXPECT_EQ(sda->model, "ATA WDC WD5000");
    EXPECT_FALSE(sda->usb);
    EXPECT_EQ(sda->sizeBytes, std::uint64_t{2 * 255 * 63 + 1} * 512);
    EXPECT_EQ(sda->geometry.heads, 255u);
    EXPECT_EQ(sda->geometry.sectorsPerTrack, 63u);
    EXPECT_EQ(sda->geometry.cylinders, 3u);  // rounded up: the last sector stays inside the geometry
    const auto sdb = platform::IdentifyDrive(drives[2], m.roots);
    ASSERT_TRUE(sdb);
    EXPECT_TRUE(sdb->usb);
}

TEST(Discovery, VanishedDiskDoesNotAnswer)
{
    FakeMachine m;
    const platform::DriveLocation gone{(m.roots.dev / "sdc").string(), "sdc", false};
    EXPECT_FALSE(platform::IdentifyDrive(gone, m.roots));
    const platform::DriveLocation noImage{(m.dir.path() / "none.img").string(), "none.img", true};
    EXPECT_FALSE(platform::IdentifyDrive(noImage, m.roots));
}

TEST(SystemDriveProbe, EnumeratesImagesAndDisksPastAnEmptyCardReader)
{
    FakeMachine m;
    m.AddDisk("sda", 1024 * 16 * 63, "ATA", "Disk A");
    m.AddDisk("sdb", 0, "Generic", "Card Reader");  // no media
    m.AddDisk("sdc", 2048, "SanDisk", "Cruzer", true);
    const fs::path image = m.dir.path() / "evidence.img";
    std::vector<char> bytes(4096, 0);
    bytes[512] = 'X';
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    disk::SystemDriveProbe probe({image.string()}, m.roots);
    disk::DriveTable table;
    disk::DriveTree tree;
    disk::EnumerateDrives(table, tree, probe);
    EXPECT_EQ(table.slotsUsed, 4);
    ASSERT_EQ(table.driveCount, 3);
    EXPECT_EQ(tree.items, (std::vector<std::string>{"Storage Device0", "Storage Device1", "Storage Device2"}));
    EXPECT_EQ(table.slots[0].model, "evidence.img");
    EXPECT_EQ(table.slots[0].heads, 255u);
    EXPECT_EQ(table.slots[0].cylinders, 1u);
    EXPECT_EQ(table.slots[0].sizeBytes, 4096u);
    EXPECT_EQ(table.slots[1].model, "ATA Disk A");
    EXPECT_EQ(table.slots[2].model, "USB Device");  // the empty card reader before it hides nothing
    EXPECT_EQ(table.slots[3].model, core::msg::kMediaMissing);

    disk::DiskState state;
    ASSERT_TRUE(disk::OpenSelectedDrive(state, table, probe).opened);
    std::vector<std::uint8_t> buf(512);
    ASSERT_EQ(disk::ReadSectors(state, 1, 1, buf), 1);
    EXPECT_EQ(buf[0], 'X');
}

TEST(FileSource, ReadingNeverChangesTheImage)
{
    TempDir dir;
    const fs::path image = dir.path() / "ro.img";
    std::vector<char> bytes(64 * 512);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 512);
    }
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    fs::permissions(image, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    struct stat before{};
    ASSERT_EQ(::stat(image.c_str(), &before), 0);

    platform::OpenResult opened = platform::OpenReadOnly(image.string());
    ASSERT_TRUE(opened.source) << opened.reason;
    EXPECT_EQ(opened.source->SizeBytes(), bytes.size());
    disk::DiskState state;
    state.driveHandle = std::move(opened.source);
    std::vector<std::uint8_t> buf(70 * 512);
    EXPECT_EQ(disk::ReadSectors(state, 0, 60, buf), 1);
    EXPECT_EQ(std::memcmp(buf.data(), bytes.data(), 60 * 512), 0);
    EXPECT_EQ(disk::ReadSectors(state, 60, 70, buf), 0);  // past the end: the tail is zeros
    EXPECT_EQ(std::memcmp(buf.data(), bytes.data() + 60 * 512, 4 * 512), 0);
    EXPECT_EQ(buf[4 * 512], 0);
    state.driveHandle.reset();

    struct stat after{};
    ASSERT_EQ(::stat(image.c_str(), &after), 0);
    EXPECT_EQ(ReadAll(image), bytes);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mode & 0777, 0444u);
}

TEST(FileSource, PermissionFailureTellsTheRemedy)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    TempDir dir;
    const fs::path image = dir.path() / "locked.img";
    std::ofstream(image) << "x";
    fs::permissions(image, fs::perms::none);
    const platform::OpenResult opened = platform::OpenReadOnly(image.string());
    EXPECT_FALSE(opened.source);
    EXPECT_NE(opened.reason.find(image.string()), std::string::npos);
    EXPECT_NE(opened.reason.find("disk` group"), std::string::npos);
}

TEST(FileSource, DirectoriesAndMissingFilesAreRefused)
{
    TempDir dir;
    EXPECT_FALSE(platform::OpenReadOnly(dir.path().string()).source);
    const auto missing = platform::OpenReadOnly((dir.path() / "none").string());
    EXPECT_FALSE(missing.source);
    EXPECT_EQ(missing.reason.find("disk` group"), std::string::npos);
}

TEST(Geometry, TranslatedFromTheSize)
{
    EXPECT_EQ(platform::TranslatedGeometry(0).sectorsPerTrack, 0u);
    EXPECT_EQ(platform::TranslatedGeometry(511).cylinders, 0u);
    const auto g = platform::TranslatedGeometry(std::uint64_t{255} * 63 * 512 * 10);
    EXPECT_EQ(g.cylinders, 10u);
    EXPECT_EQ(platform::GeometryFrom(16, 63, 1008 * 512 * 4 + 512).cylinders, 5u);
    EXPECT_EQ(platform::GeometryFrom(16, 0, 512).heads, 255u);
}

TEST(OsIdentity, OddPlatformIdChoosesTheBiosLibraries)
{
    EXPECT_EQ(platform::AccessModeFor(platform::QueryPlatformId()), 'N');
    EXPECT_EQ(platform::AccessModeFor(1), 'F');
    EXPECT_EQ(platform::AccessModeFor(2), 'N');
    EXPECT_EQ(platform::AccessModeFor(3), 'F');
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv()
    {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

struct PrivateFolderCase
{
    const char* name;
    bool runtimeDir;     // $XDG_RUNTIME_DIR names the test's "runtime" folder
    const char* runtimeOther;  // else this value (nullptr: unset)
    bool tmpDir;         // $TMPDIR names the test's "tmp" folder (else unset)
    const char* parent;  // "runtime", "tmp" or "/tmp"
};

class PrivateFolderTest : public ::testing::TestWithParam<PrivateFolderCase>
{
};

// Under $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp; mode 0700; a new unforeseeable name each time.
TEST_P(PrivateFolderTest, IsMadeUnderTheFirstUsableFolderWithModeSevenHundred)
{
    const PrivateFolderCase& c = GetParam();
    char tmpl[] = "/tmp/dravik-private-test-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const fs::path root(tmpl);
    fs::create_directories(root / "runtime");
    fs::create_directories(root / "tmp");
    const std::string runtime = (root / "runtime").string();
    const std::string tmp = (root / "tmp").string();
    ScopedEnv xdg("XDG_RUNTIME_DIR", c.runtimeDir ? runtime.c_str() : c.runtimeOther);
    ScopedEnv tmpdir("TMPDIR", c.tmpDir ? tmp.c_str() : nullptr);
    const auto first = platform::MakePrivateFolder();
    const auto second = platform::MakePrivateFolder();
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    const std::string parent = std::string(c.parent) == "/tmp" ? std::string("/tmp") : (root / c.parent).string();
    EXPECT_EQ(first->parent_path().string(), parent);
    struct stat st{};
    ASSERT_EQ(::stat(first->c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());
    fs::remove(*first);
    fs::remove(*second);
    fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, PrivateFolderTest,
    ::testing::Values(PrivateFolderCase{"RuntimeDirFirst", true, nullptr, true, "runtime"},
                      PrivateFolderCase{"TmpDirWhenNoRuntimeDir", false, nullptr, true, "tmp"},
                      PrivateFolderCase{"RelativeRuntimeDirPassedOver", false, "relative/run", true, "tmp"},
                      PrivateFolderCase{"MissingRuntimeDirPassedOver", false, "/nonexistent/dravik", true, "tmp"},
                      PrivateFolderCase{"TmpWhenNeitherIsSet", false, nullptr, false, "/tmp"}),
    [](const auto& info) { return std::string(info.param.name); });

// One folder per run, removed with what was put in it; the next use makes a new one.
TEST(TemporaryFolder, OneFolderPerRunRemovedWithItsFiles)
{
    const auto folder = platform::TemporaryFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(platform::TemporaryFolder(), folder);
    std::ofstream(*folder / "opened.txt") << "x";
    fs::create_directories(*folder / "sub");
    char outside[] = "/tmp/dravik-outside-XXXXXX";
    ASSERT_NE(::mkdtemp(outside), nullptr);
    fs::create_directory_symlink(outside, *folder / "link");  // removed, never followed
    std::ofstream(fs::path(outside) / "keep.txt") << "keep";
    platform::RemoveTemporaryFolder();
    EXPECT_FALSE(fs::exists(*folder));
    EXPECT_TRUE(fs::exists(fs::path(outside) / "keep.txt"));
    fs::remove_all(outside);
    const auto next = platform::TemporaryFolder();
    ASSERT_TRUE(next);
    EXPECT_NE(next, folder);
    platform::RemoveTemporaryFolder();
}

}  // namespace
