// Outputs of dravik-cli that must not mislead: names with control characters (escaped in text,
// made safe as file names), the answer to "Continue Recovery ?" without the wizard's
// accelerators, every exit code in --help, and out of memory ending with its own exit code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "snapshot/snapshot_file.h"
#include "support/cli_runner.h"
#include "support/fixtures.h"

#if defined(__SANITIZE_ADDRESS__)
#define DRAVIK_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DRAVIK_TEST_ASAN 1
#endif
#endif

namespace {

namespace fs = std::filesystem;
using testing_support::CliRun;
using testing_support::HashFile;
using testing_support::Quoted;
using testing_support::RunCommand;

// README.TXT of ntfs_basic (the manifest's hash), and the name the crafted snapshot gives it: an
// escape sequence that would turn a terminal red, and a C0 control.
constexpr const char* kReadmeSha256 = "8cefc8c1825fe3af06d6cb868b37abc67e154f0c394595f87b3843ca03e1ce6d";
constexpr const char* kCraftedName = "READ\x1b[31mME\x01.TXT";

class CliOutputs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_image = testing_support::FixturePath("ntfs_basic.img").string();
        if (!fs::exists(m_image))
            GTEST_SKIP() << m_image << " is not unpacked";
        std::string pattern = (fs::temp_directory_path() / "dravik-outputs-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    CliRun Run(const std::string& args) const
    {
        return RunCommand(Quoted(DRAVIK_CLI) + " --image " + Quoted(m_image) + " --images-only " + args);
    }

    // A snapshot of ntfs_basic in which README.TXT is called kCraftedName: what a damaged or
    // hostile volume could hold, with the data still where the image has it.
    std::string CraftedSnapshot() const
    {
        const fs::path scanned = m_dir / "basic.QDN";
        EXPECT_EQ(Run("scan --partition 1 --save-snapshot " + Quoted(scanned.string())).exitCode, 0);
        catalog::Catalog loaded;
        EXPECT_EQ(snapshot::LoadSnapshot(scanned.string(), loaded).outcome, snapshot::LoadOutcome::Loaded);
        catalog::Catalog crafted;
        crafted.volumeParams = loaded.volumeParams;
        crafted.scanTarget = loaded.scanTarget;
        for (const catalog::NtfsFolderEntry& folder : loaded.NtfsFolders())
            crafted.AddNtfsFolder(folder);
        bool renamed = false;
        for (catalog::NtfsFileEntry file : loaded.NtfsFiles()) {
            if (file.name == "README.TXT" && file.parent == 5) {
                file.name = kCraftedName;
                renamed = true;
            }
            crafted.AddNtfsFile(std::move(file));
            ++crafted.fileCount;
        }
        EXPECT_TRUE(renamed);
        const auto saved = snapshot::SaveSnapshot(crafted, (m_dir / "crafted").string());
        EXPECT_EQ(saved.outcome, snapshot::SaveOutcome::Saved) << saved.message;
        return saved.path;
    }

    std::string m_image;
    fs::path m_dir;
};

bool HasRawControls(const std::string& text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7f)
            return true;
    }
    return false;
}

TEST_F(CliOutputs, ControlCharactersInNamesAreEscapedInTextAndReplacedInFileNames)
{
    const std::string snapshot = CraftedSnapshot();
    const std::string escaped = "READ\\x1b[31mME\\x01.TXT";

    const CliRun ls = Run("ls --snapshot " + Quoted(snapshot));
    ASSERT_EQ(ls.exitCode, 0) << ls.err;
    EXPECT_FALSE(HasRawControls(ls.out));
    EXPECT_NE(ls.out.find("\n" + escaped + "\t"), std::string::npos) << ls.out;

    const CliRun find = Run("find 'READ*' --snapshot " + Quoted(snapshot));
    ASSERT_EQ(find.exitCode, 0) << find.err;
    EXPECT_FALSE(HasRawControls(find.out));
    EXPECT_NE(find.out.find("READ\\x1b[31MME\\x01.TXT\t"), std::string::npos) << find.out;

    const CliRun json = Run("ls --json --snapshot " + Quoted(snapshot));
    EXPECT_NE(json.out.find("READ\\u001b[31mME\\u0001.TXT"), std::string::npos) << json.out;

    const fs::path out = m_dir / "out";
    const CliRun recover =
        Run("recover --snapshot " + Quoted(snapshot) + " --to " + Quoted(out.string()) + " " + Quoted(kCraftedName));
    ASSERT_EQ(recover.exitCode, 0) << recover.err;
    EXPECT_FALSE(HasRawControls(recover.out));
    EXPECT_EQ(HashFile(out / "READ_[31mME_.TXT"), kReadmeSha256);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

// A file that cannot be created asks "Continue Recovery ?"; the command line answers in its own
// words, never with the wizard's "&Yes" / "&No".
TEST_F(CliOutputs, TheAnswerToContinueRecoveryCarriesNoAccelerator)
{
    for (const char* onError : {"continue", "stop"}) {
        const fs::path out = m_dir / onError;
        fs::create_directories(out / "README.TXT");
        const CliRun run = Run("recover --partition 1 README.TXT --duplicates overwrite --on-error " +
                               std::string(onError) + " --to " + Quoted(out.string()));
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_NE(run.err.find("Continue Recovery ? \n" + std::string(onError[0] == 'c' ? "yes" : "no") +
                               " (--on-error " + onError + ")\n"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find('&'), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find('&'), std::string::npos) << run.out;
    }
}

TEST(CliHelp, ListsEveryExitCode)
{
    const CliRun run = RunCommand(Quoted(DRAVIK_CLI) + " --help");
    ASSERT_EQ(run.exitCode, 0);
    for (const char* code : {"0 done", "1 bad arguments", "2 a drive", "3 recover", "4 out of memory"})
        EXPECT_NE(run.out.find(code), std::string::npos) << code << "\n" << run.out;
    EXPECT_NE(run.out.find("\\xNN"), std::string::npos);
}

// Runs dravik-cli with its address space limited to `limit` bytes; the exit code (-1 for a
// signal), stderr in `err`.
int RunLimited(const std::vector<std::string>& args, rlim_t limit, const fs::path& errFile, std::string& err)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        const rlimit r{limit, limit};
        const int devNull = ::open("/dev/null", O_WRONLY);
        const int errFd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (devNull < 0 || errFd < 0 || ::dup2(devNull, 1) < 0 || ::dup2(errFd, 2) < 0 ||
            ::setrlimit(RLIMIT_AS, &r) != 0)
            ::_exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(DRAVIK_CLI));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(DRAVIK_CLI, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::ifstream in(errFile);
    err.assign(std::istreambuf_iterator<char>(in), {});
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// With too little memory for a 64 MiB dump, dravik-cli says so and ends with 4, never with 0.
TEST_F(CliOutputs, OutOfMemoryEndsWithItsOwnExitCode)
{
#ifdef DRAVIK_TEST_ASAN
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit this test sets";
#else
    const fs::path errFile = m_dir / "err.txt";
    std::string err;
    // The least address space (in steps of 1/8) in which a one-sector dump runs: a 64 MiB buffer
    // cannot fit in what is left.
    rlim_t limit = rlim_t{16} << 20;
    while (limit < (rlim_t{4} << 30) &&
           RunLimited({"--image", m_image, "--images-only", "read", "--drive", "0", "0", "1"}, limit, errFile, err) != 0)
        limit += limit / 8;
    ASSERT_LT(limit, rlim_t{4} << 30) << err;
    const int code =
        RunLimited({"--image", m_image, "--images-only", "read", "--drive", "0", "0", "131072"}, limit, errFile, err);
    EXPECT_EQ(code, 4) << err;
    EXPECT_NE(err.find("Out of memory, close other applications and run again"), std::string::npos) << err;
#endif
}

}  // namespace
