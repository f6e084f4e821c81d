// Recovery snapshot files: the ".QDN" naming rule, saving the catalog to a file and loading a
// file back into the catalog after validating all of it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "catalog/catalog.h"
#include "snapshot/snapshot_codec.h"

namespace snapshot {

// The name a snapshot is saved under: `chosen` itself when its last four characters are ".QDN"
// exactly (case counts), otherwise `chosen` followed by ".QDN" (so "a.qdn" becomes "a.qdn.QDN"
// and "a.QDNX" becomes "a.QDNX.QDN").
std::string SnapshotFileName(std::string_view chosen);

enum class SaveOutcome
{
    Saved,
    OpenFailed,   // the file could not be created or truncated: "Unable to open the file"
    WriteFailed,  // a write or the close failed: the file on disk is incomplete
    NameTooLong,  // a catalog name over 255 bytes; nothing was written
};

struct SaveResult
{
    SaveOutcome outcome = SaveOutcome::OpenFailed;
    std::string path;     // the file written (SnapshotFileName of the chosen path)
    std::string message;  // the text to show (error kind); empty when Saved
};

// Writes the catalog to SnapshotFileName(chosen), creating or truncating it.
SaveResult SaveSnapshot(const catalog::Catalog& catalog, std::string_view chosen);

enum class LoadOutcome
{
    Loaded,
    OpenFailed,  // "Unable to open the file"
    ReadFailed,  // the file opened but could not be read to its end
    BadTag,      // "    Invalid version of the file found : " and the seven bytes read
    BadVersion,  // "              version of file does not match with current version 1.0"
    Damaged,     // the rest of the file does not follow the format (see `defect`)
};

struct LoadResult
{
    LoadOutcome outcome = LoadOutcome::OpenFailed;
    Defect defect = Defect::None;  // Damaged: what was wrong
    std::string message;           // the text to show (error kind); empty when Loaded
};

// Loads a snapshot from memory: parses and validates all of `bytes`, and only when the whole
// file is sound replaces the catalog's contents (ApplySnapshot). Any other outcome leaves the
// catalog exactly as it was. On Loaded the caller finishes with FinishSnapshotLoad.
LoadResult LoadSnapshotBytes(std::span<const std::uint8_t> bytes, catalog::Catalog& catalog);

// Opens `path` read-only (a read-only snapshot loads), reads it whole and loads it as
// LoadSnapshotBytes does. Anything that is not a regular file is OpenFailed.
LoadResult LoadSnapshot(const std::string& path, catalog::Catalog& catalog);

}  // namespace snapshot
