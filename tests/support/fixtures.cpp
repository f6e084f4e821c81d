// Where the fixture disk images live.
#include "support/fixtures.h"

#include <fstream>
#include <sstream>

namespace testing_support {

std::filesystem::path FixtureDir() { return DRAVIK_FIXTURE_DIR; }

std::filesystem::path FixturePath(const std::string& name) { return FixtureDir() / name; }

std::filesystem::path DataDir() { return std::filesystem::path(DRAVIK_SOURCE_DIR) / "tests" / "data"; }

std::vector<std::vector<std::string>> ManifestRows(const std::string& stem)
{
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(DataDir() / (stem + ".manifest.tsv"));
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        std::vector<std::string>& cells = rows.emplace_back();
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) {
            cells.push_back(cell);
        }
    }
    return rows;
}

}  // namespace testing_support
