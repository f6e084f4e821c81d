// Names past Latin-1 on a real volume (the unicode fixture): every name the CLI prints, saves in a
// snapshot and finds is the name The Sleuth Kit's fls prints for the same entry.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/ntfs_names.h"
#include "support/cli_runner.h"
#include "support/fixtures.h"

namespace {

namespace fs = std::filesystem;
using testing_support::DataDir;
using testing_support::FixturePath;
using testing_support::Quoted;
using testing_support::RunCommand;

std::string Cli(const fs::path& image, const std::string& arguments)
{
    return std::string(DRAVIK_CLI) + " --images-only --image " + Quoted(image.string()) + " " + arguments + " 2>/dev/null";
}

// The paths fls lists for the volume (live and deleted), "/"-rooted, without the system files
// and TSK's own $OrphanFiles folder.
std::set<std::string> FlsPaths()
{
    std::ifstream in(DataDir() / "oracle" / "unicode.p1.fls.txt");
    std::set<std::string> paths;
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) {
            continue;
        }
        const auto end = line.find('\t', tab + 1);
        const std::string path = line.substr(tab + 1, end == std::string::npos ? end : end - tab - 1);
        if (!path.empty() && path[0] != '$') {
            paths.insert("/" + path);
        }
    }
    return paths;
}

// Every string value of `key` in a JSON text, unescaped.
std::vector<std::string> JsonValues(const std::string& json, const std::string& key)
{
    std::vector<std::string> values;
    const std::string needle = "\"" + key + "\":\"";
    for (std::size_t at = json.find(needle); at != std::string::npos; at = json.find(needle, at)) {
        at += needle.size();
        std::string value;
        while (at < json.size() && json[at] != '"') {
            if (json[at] == '\\' && at + 1 < json.size()) {
                const char e = json[++at];
                if (e == 'u' && at + 4 < json.size()) {
                    core::AppendUtf8(value, static_cast<char32_t>(std::stoul(json.substr(at + 1, 4), nullptr, 16)));
                    at += 4;
                } else {
                    value += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                }
            } else {
                value += json[at];
            }
            ++at;
        }
        values.push_back(value);
    }
    return values;
}

class UnicodeNames : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_image = FixturePath("unicode.img");
        if (!fs::exists(m_image)) {
            GTEST_SKIP() << m_image << " is not unpacked";
        }
        m_dir = fs::temp_directory_path() / ("dravik-unicode-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    fs::path m_image;
    fs::path m_dir;
};

TEST_F(UnicodeNames, ScanAndSnapshotPrintEveryNameAsFlsDoes)
{
    const fs::path snapshot = m_dir / "unicode.QDN";
    const auto scan = RunCommand(Cli(m_image, "scan --partition 1 --json --save-snapshot " + Quoted(snapshot.string())));
    ASSERT_EQ(scan.exitCode, 0);
    const auto paths = JsonValues(scan.out, "path");
    const std::set<std::string> found(paths.begin(), paths.end());
    const std::set<std::string> fls = FlsPaths();
    ASSERT_GT(fls.size(), 25u);
    for (const std::string& path : fls) {
        EXPECT_EQ(found.count(path), 1u) << path;
    }
    for (const std::string& path : paths) {
        EXPECT_EQ(path.find("\xef\xbf\xbd"), std::string::npos) << path;  // no replaced character
    }

    // Names past Latin-1 need the 2.0 snapshot; loading it gives the same catalog.
    std::ifstream in(snapshot, std::ios::binary);
    std::string head(10, '\0');
    in.read(head.data(), 10);
    EXPECT_EQ(head, "dnx4.022.0");
    const auto loaded = RunCommand(Cli(m_image, "scan --snapshot " + Quoted(snapshot.string()) + " --json"));
    ASSERT_EQ(loaded.exitCode, 0);
    EXPECT_EQ(JsonValues(loaded.out, "path"), paths);
    EXPECT_EQ(JsonValues(loaded.out, "name"), JsonValues(scan.out, "name"));
}

TEST_F(UnicodeNames, NamesThatShareTheirLowBytesStayApart)
{
    const auto ls = RunCommand(Cli(m_image, "ls --partition 1 --json"));
    ASSERT_EQ(ls.exitCode, 0);
    const auto names = JsonValues(ls.out, "name");
    const std::set<std::string> set(names.begin(), names.end());
    EXPECT_EQ(set.count("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt"), 1u);  // 日本語.txt
    EXPECT_EQ(set.count("\xe6\x97\xa5\xe6\x9c\xac\xe4\xba\x9e.txt"), 1u);  // 日本亞.txt
    EXPECT_EQ(set.count("\xe6\x97\xa5\xe6\x9c\xac\xe4\xba\xba.txt"), 1u);  // 日本人.txt

    // Recovered side by side: three files, not one file and two copies.
    const auto run = RunCommand(Cli(m_image, "recover --partition 1 --all --to " + Quoted((m_dir / "out").string())));
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const auto hashes = testing_support::HashTree(m_dir / "out");
    for (const char* name : {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt", "\xe6\x97\xa5\xe6\x9c\xac\xe4\xba\x9e.txt",
                             "\xe6\x97\xa5\xe6\x9c\xac\xe4\xba\xba.txt", "\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe/\xd0\xbe\xd1\x82\xd0\xbf\xd1\x83\xd1\x81\xd0\xba.txt",
                             "\xf0\x9f\x98\x80 smile.txt"}) {
        EXPECT_EQ(hashes.count(name), 1u) << name;
    }
    for (const auto& [path, hash] : hashes) {
        EXPECT_EQ(path.find("Copy ("), std::string::npos) << path;
    }
}

TEST_F(UnicodeNames, FindMatchesCyrillicWithoutRegardToCase)
{
    // ОТЧЁТ typed in capitals finds Отчёт 6.doc and отчёт 7.doc.
    const auto run = RunCommand(Cli(m_image, "find '*\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2*' --partition 1"));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 6.DOC\t\\\t3000\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\xd0\x9e\xd0\xa2\xd0\xa7\xd0\x81\xd0\xa2 7.DOC\t\\\t700\n"), std::string::npos) << run.out;
    // Greek capitals find the lower-case name, a '?' stands for one emoji (two UTF-16 units on disk).
    const auto greek = RunCommand(Cli(m_image, "find '\xcf\x83\xce\xb7\xce\xbc\xce\xb5\xce\xaf\xcf\x89\xcf\x83\xce\xb7*' --partition 1"));
    EXPECT_NE(greek.out.find("\xce\xa3\xce\x97\xce\x9c\xce\x95\xce\x8a\xce\xa9\xce\xa3\xce\x97"), std::string::npos) << greek.out;
    const auto emoji = RunCommand(Cli(m_image, "find '? SMILE.TXT' --partition 1"));
    EXPECT_NE(emoji.out.find("\xf0\x9f\x98\x80 SMILE.TXT"), std::string::npos) << emoji.out;
}

}  // namespace
