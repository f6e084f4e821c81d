// The temporary folder, where opened files are extracted before they are shown: a folder of the
// user's own, made at first use in each run and removed when the program ends.
#pragma once

#include <filesystem>
#include <optional>

namespace platform {

// Makes a new folder of mode 0700 with a name no other run can foresee (mkdtemp) under
// $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp; a variable that is unset, relative or names no
// writable folder is passed over. Empty when none of them takes it.
std::optional<std::filesystem::path> MakePrivateFolder();

// This run's private folder: made by MakePrivateFolder at the first call, the same folder after
// it; empty when it cannot be made (asked again at the next call).
std::optional<std::filesystem::path> TemporaryFolder();

// Removes this run's private folder and everything in it (links inside are removed, never
// followed); nothing when it was never made. Runs by itself when the program returns from main
// or calls exit; a program that ends by _Exit calls it first.
void RemoveTemporaryFolder() noexcept;

}  // namespace platform
