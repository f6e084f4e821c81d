// Where the fixture disk images live.
#include "support/fixtures.h"

namespace testing_support {

std::filesystem::path FixtureDir() { return DRAVIK_FIXTURE_DIR; }

std::filesystem::path FixturePath(const std::string& name) { return FixtureDir() / name; }

std::filesystem::path DataDir() { return std::filesystem::path(DRAVIK_SOURCE_DIR) / "tests" / "data"; }

}  // namespace testing_support
