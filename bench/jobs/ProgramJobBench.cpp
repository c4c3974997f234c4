// Host-side cost of the programming job. A real programmer needs about 1.5 ms per page (write
// and status); the job's own work per page has to stay at or below 1 µs so the host is never
// what limits it. Run: build/release/bench/jobs/tarnwick_bench_jobs; figures and the exact
// command are in docs/host-benchmark.md.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "emulator/EmulatedProgrammer.h"
#include "jobs/ProgramJob.h"
#include "link/CCodeProgram.h"

namespace {

using namespace tarnwick;

struct NullDisplay : DisplaySink, MessageBoxSink {
    void Send(const DisplayMessage&) override {}
    void ShowMessage(const char*) override {}
};

// Answers every command at once with a well-formed reply: what is left is the host's own work.
struct InstantProgrammer : PassThrough {
    Result<void> Exchange(const PassThroughRequest& r) override {
        if (r.direction == DataDirection::In && r.transferLength >= 3) {
            auto* reply = static_cast<std::uint8_t*>(r.buffer);
            reply[0] = r.cdb[0];
            reply[1] = r.cdb[1];
            reply[2] = 0;
        }
        return {};
    }
};

std::string MakeImage(std::size_t bytes, int thread) {
    const auto path =
        std::filesystem::temp_directory_path() /
        ("tarnwick-bench-" + std::to_string(bytes) + "-" + std::to_string(thread) + ".bin");
    // Written in chunks, so the benchmark's own memory does not hide the job's.
    std::ofstream out(path, std::ios::binary);
    std::vector<char> chunk(1 << 16);
    for (std::size_t at = 0; at < bytes; at += chunk.size()) {
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            chunk[i] = static_cast<char>((at + i) * 131 + ((at + i) >> 9));
        }
        out.write(chunk.data(), static_cast<std::streamsize>(std::min(chunk.size(), bytes - at)));
    }
    return path.string();
}

void RunJob(benchmark::State& state, std::shared_ptr<PassThrough> device) {
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const std::string image = MakeImage(bytes, state.thread_index());
    ProgrammerLink link;
    link.Set(std::move(device), 3);
    FirmwarePath path;
    path.Set(image);
    NullDisplay display;
    std::ostringstream diagnostics;
    ProgramJob job(link, path, display, display, diagnostics);
    const auto pages = static_cast<double>((bytes + 511) / 512);
    for (auto _ : state) {
        if (job.ProgramFlash().ending != ProgramEnding::Success) {
            state.SkipWithError("job failed");
            break;
        }
    }
    // Per job: with several threads each runs a job of its own, and the figures are their
    // average.
    state.counters["pages/s"] = benchmark::Counter(
        pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kAvgThreads);
    state.counters["us_per_page"] = benchmark::Counter(
        pages * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert |
                          benchmark::Counter::kAvgThreads);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    std::filesystem::remove(image);
}

void BM_JobHostCostPerPage(benchmark::State& state) {
    RunJob(state, std::make_shared<InstantProgrammer>());
}
BENCHMARK(BM_JobHostCostPerPage)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);
// Several jobs at once, as write --all runs them, each on its own thread with its own link,
// device and reading of the file: the host's work per page must not grow with their number
// (CPU time per thread; on a machine with fewer cores than jobs the wall time grows, not this).
BENCHMARK(BM_JobHostCostPerPage)
    ->Name("BM_JobsAtOnceHostCostPerPage")
    ->Arg(1 << 20)
    ->Threads(1)
    ->Threads(2)
    ->Threads(4)
    ->Unit(benchmark::kMillisecond);

void BM_JobAgainstEmulatedProgrammer(benchmark::State& state) {
    auto programmer = std::make_shared<EmulatedProgrammer>(32u << 20);
    RunJob(state, programmer);
}
BENCHMARK(BM_JobAgainstEmulatedProgrammer)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_Crc16Page(benchmark::State& state) {
    std::vector<std::uint8_t> page(static_cast<std::size_t>(state.range(0)), 0x5A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            CCodeProgram::CalcCrc16(page.data(), static_cast<std::int32_t>(page.size())));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_Crc16Page)->Arg(512)->Arg(2048);

// Peak memory of a whole job in a fresh process: the job streams its file page by page, so
// the figure must be the same for 1 MiB and for 64 MiB.
void BM_JobPeakMemory(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const std::string image = MakeImage(bytes, state.thread_index());
    long maxrssKiB = 0;
    for (auto _ : state) {
        const pid_t child = fork();
        if (child == 0) {
            ProgrammerLink link;
            link.Set(std::make_shared<InstantProgrammer>(), 3);
            FirmwarePath path;
            path.Set(image);
            NullDisplay display;
            std::ostringstream diagnostics;
            ProgramJob job(link, path, display, display, diagnostics);
            _exit(job.ProgramFlash().ending == ProgramEnding::Success ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("job failed");
        }
        maxrssKiB = usage.ru_maxrss;
    }
    state.counters["child_maxrss_KiB"] = static_cast<double>(maxrssKiB);
    std::filesystem::remove(image);
}
BENCHMARK(BM_JobPeakMemory)
    ->Arg(1 << 20)
    ->Arg(64 << 20)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
