// Which $FILE_NAME names a file: the namespace order shared by the Standard Scan, the path lookup
// and the Advance sweep, the records of a file that may hold its names, and telling an extension
// record (a part of another file) from a base record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ntfs/file_record.h"
#include "ntfs/ntfs_layout.h"

namespace ntfs {

// Namespaces in the order a file's name is chosen: the long Windows name, then the name that is
// both long and 8.3, then the 8.3 alias, and the POSIX name that drivers outside Windows write
// as the last resort.
inline constexpr std::array<std::uint8_t, 4> kNameChoiceOrder = {kNamespaceWin32, kNamespaceWin32AndDos,
                                                                kNamespaceDos, kNamespacePosix};
// Rank of a namespace in kNameChoiceOrder (0 is the best); kNoNameRank for a namespace byte outside it.
inline constexpr std::size_t kNoNameRank = kNameChoiceOrder.size();
std::size_t NameRank(std::uint8_t nameSpace) noexcept;

// The record's best name in kNameChoiceOrder: its first unnamed $FILE_NAME in the Win32 namespace,
// else in Win32 and DOS, else DOS, else POSIX. Only namespaces ranked better than `betterThan`
// are searched, so a caller holding a name of that rank asks only for a better one. Empty when
// there is none.
std::optional<FileNameInfo> FindBestFileName(RecordBytes record, std::size_t betterThan = kNoNameRank);

// True when `candidate` should replace `best` as the file's name: it ranks strictly better, so of
// names of one rank the first met (base record first, then the records in list order) stays.
bool IsBetterName(const std::optional<FileNameInfo>& best, const FileNameInfo& candidate) noexcept;

// The base-record reference at record offset 0x20, all 64 bits. An extension record (one that
// holds attributes of the file whose base record this names) has it non-zero; a base record has
// 0. An extension of $MFT itself names record 0 with a non-zero sequence number, so the whole
// reference is tested, not its record half.
std::uint64_t BaseRecordReference(RecordBytes record) noexcept;
inline bool IsExtensionRecord(RecordBytes record) noexcept { return BaseRecordReference(record) != 0; }

// The record's own number at offset 44, which records of NTFS 3.1 carry (their update sequence
// array starts at 0x30 or later). Empty for an older header, where those bytes belong to the array.
std::optional<std::uint32_t> RecordNumberField(RecordBytes record) noexcept;

// What the record's $ATTRIBUTE_LIST says about where its names are.
struct AttributeListInfo
{
    bool present = false;   // the record has an $ATTRIBUTE_LIST
    bool resident = false;  // ...and its value lies in the record (then `value` is it)
    std::span<const std::uint8_t> value;
};
AttributeListInfo FindAttributeList(RecordBytes record) noexcept;

// Appends to `holders` the records that the entries of an $ATTRIBUTE_LIST value name for
// $FILE_NAME attributes, in list order, each once, leaving out `self`, while `holders` has fewer
// than `capacity` numbers.
void CollectNameHolders(std::span<const std::uint8_t> listValue, std::uint32_t self,
                        std::vector<std::uint32_t>& holders, std::size_t capacity);

}  // namespace ntfs
