// Time of copying one file out of the reference image, the Standard Scan left out: the image is
// opened read-only and partition 1 scanned once, as dravik-cli recover does it, and then the
// file of one MFT record (default 40242, the image's 100 MiB file) is copied RUNS times with
// recovery::Extractor::ExtractNtfsFile, each time into a fresh folder removed after the run.
// With --between CMD, CMD runs through /bin/sh after each copy and is timed the same way (wall
// clock around the whole command, shell start included), so the two alternate under the same
// load; it gets a fresh folder of its own in $RUN_DIR, removed after it. bench/recovery_copy.sh
// uses it to set the copy against icat.
// Built only on request, against the libraries of a Release build:
//   B=build/h-copy-rel; c++ -std=c++20 -O2 -Isrc bench/recovery_copy.cpp -o /tmp/recovery_copy \
//     $B/src/cli/libdravik_cli_lib.a $B/src/shell/libdravik_shell.a $B/src/snapshot/libdravik_snapshot.a \
//     $B/src/advscan/libdravik_advscan.a $B/src/recovery/libdravik_recovery.a \
//     $B/src/partitions/libdravik_partitions.a $B/src/ntfs/libdravik_ntfs.a $B/src/disk/libdravik_disk.a \
//     $B/src/platform/libdravik_platform.a $B/src/core/libdravik_core.a -ldl
//   /tmp/recovery_copy [--image IMG] [--record N] [--runs N] [--out DIR] [--keep FILE] [--between CMD]
//                      [--label NAME]
// --out is where the copies go (default /work/bench-out, the file system of the image); --keep
// moves the last copy to FILE instead of removing it; --label names CMD in the output.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/scan_flow.h"
#include "cli/session.h"
#include "recovery/file_extraction.h"

namespace {

namespace fs = std::filesystem;

double Seconds(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Usage()
{
    std::fputs("usage: recovery_copy [--image IMG] [--record N] [--runs N] [--out DIR] [--keep FILE]\n"
               "                     [--between CMD [--label NAME]]\n",
               stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string image = "/work/bench-ref/ref.img";
    std::uint32_t record = 40242;
    int runs = 5;
    fs::path out = "/work/bench-out";
    fs::path keep;
    std::string between;
    std::string label = "other";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const char* value = argv[++i];
        if (arg == "--image")
            image = value;
        else if (arg == "--record")
            record = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
        else if (arg == "--runs")
            runs = std::max(1, std::atoi(value));
        else if (arg == "--out")
            out = value;
        else if (arg == "--keep")
            keep = value;
        else if (arg == "--between")
            between = value;
        else if (arg == "--label")
            label = value;
        else
            return Usage();
    }

    // The session and the scan exactly as dravik-cli --images-only --image IMG recover
    // --partition 1 sets them up (the image is opened read-only by the session).
    cli::CliContext context;
    context.options.images = {image};
    context.options.imagesOnly = true;
    context.err = std::fopen("/dev/null", "w");
    auto scan = std::make_unique<cli::ScannedPartition>();
    const auto scanStart = std::chrono::steady_clock::now();
    if (cli::ScanPartitionOfDrive(context, "recover", 0, 1, *scan) != cli::kExitOk) {
        std::fprintf(stderr, "recovery_copy: the scan of partition 1 of %s failed\n", image.c_str());
        return 2;
    }
    const double scanSeconds = Seconds(scanStart);
    int exitCode = cli::kExitOk;
    cli::Session* session = context.OpenSession(exitCode);
    const catalog::Catalog& catalog = scan->catalog;
    const auto& files = catalog.NtfsFiles();
    const auto entry = std::find_if(files.begin(), files.end(),
                                    [record](const catalog::NtfsFileEntry& f) { return f.record == record; });
    if (session == nullptr || entry == files.end()) {
        std::fprintf(stderr, "recovery_copy: no file of MFT record %u in the catalog\n", record);
        return 2;
    }
    std::printf("scan: %.3f s, %zu files; record %u: %s, %llu bytes\n", scanSeconds, files.size(), record,
                entry->name.c_str(), static_cast<unsigned long long>(entry->size));

    recovery::RecoveryState state;
    recovery::ExtractionContext extraction;
    extraction.volume = catalog.volumeParams;
    extraction.lastSector = catalog.scanTarget.scanEndSector;
    extraction.mftMap = scan->runTable.Count() != 0 ? &scan->runTable : nullptr;
    recovery::Extractor extractor(session->Disk(), state, std::move(extraction));

    const double megabytes = static_cast<double>(entry->size) / 1e6;
    std::vector<double> copies;
    std::vector<double> others;
    for (int run = 0; run < runs; ++run) {
        const fs::path folder = out / ("copy-" + std::to_string(run));
        fs::remove_all(folder);
        fs::create_directories(folder);
        const auto start = std::chrono::steady_clock::now();
        const recovery::ExtractResult result = extractor.ExtractNtfsFile(
            {folder, entry->name, entry->size, entry->dataRecordSector, 1, entry->deleted != 0 ? 1 : 0});
        const double seconds = Seconds(start);
        if (result.outcome != recovery::ExtractOutcome::Written || result.bytesWritten != entry->size) {
            std::fprintf(stderr, "recovery_copy: run %d did not write the whole file\n", run + 1);
            return 3;
        }
        copies.push_back(seconds);
        std::printf("copy  run %d: %.4f s  %7.0f MB/s\n", run + 1, seconds, megabytes / seconds);
        if (!keep.empty() && run + 1 == runs)
            fs::rename(result.path, keep);
        fs::remove_all(folder);

        if (!between.empty()) {
            const fs::path otherFolder = out / ("other-" + std::to_string(run));
            fs::remove_all(otherFolder);
            fs::create_directories(otherFolder);
            setenv("RUN_DIR", otherFolder.c_str(), 1);
            std::fflush(stdout);
            const auto otherStart = std::chrono::steady_clock::now();
            const int status = std::system(between.c_str());
            const double otherSeconds = Seconds(otherStart);
            if (status != 0) {
                std::fprintf(stderr, "recovery_copy: '%s' failed (%d)\n", between.c_str(), status);
                return 3;
            }
            fs::remove_all(otherFolder);
            others.push_back(otherSeconds);
            std::printf("%-5s run %d: %.4f s  %7.0f MB/s\n", label.c_str(), run + 1, otherSeconds,
                        megabytes / otherSeconds);
        }
    }
    const double copy = Median(copies);
    std::printf("copy median: %.4f s, %.0f MB/s (%d runs, %.1f MB)\n", copy, megabytes / copy, runs, megabytes);
    if (!others.empty()) {
        const double other = Median(others);
        std::printf("%s median: %.4f s, %.0f MB/s (the whole command)\n", label.c_str(), other, megabytes / other);
    }
    return 0;
}
