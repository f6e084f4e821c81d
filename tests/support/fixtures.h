// Where the unpacked fixture disk images and their expected outputs live.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// Directory the fixture archives were unpacked into.
std::filesystem::path FixtureDir();
// A fixture image by file name; the test is skipped with a message when it is absent.
std::filesystem::path FixturePath(const std::string& name);
// The committed tests/data directory (manifests, oracle listings, golden outputs).
std::filesystem::path DataDir();

}  // namespace testing_support
