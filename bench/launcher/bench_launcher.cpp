// What the downloader's launcher adds to every start: a small program (the system's `true`)
// started directly, through a bare exec beside it (the exec's own cost), and as the downloader
// is, through the launcher beside it (its floor checks, then exec). Target: at most 2 ms more
// than directly.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Starts `path` without arguments and waits for it; false when it could not run or failed.
bool run(const std::string& path) {
    pid_t child = 0;
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
    if (posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A bundle folder in the temporary folder: the launcher and the bare exec, and `true` as the
// program they start.
struct Bundle {
    Bundle() {
        const fs::path macos = fs::temp_directory_path() /
                               ("qby-bench-launcher-" + std::to_string(getpid())) /
                               "Game.app/Contents/MacOS";
        fs::create_directories(macos);
        fs::copy_file(QBY_LAUNCHER, macos / "QuillbayDownloader");
        fs::copy_file(QBY_BARE_EXEC, macos / "BareExec");
        fs::copy_file(QBY_TRUE, macos / QBY_PROGRAM_NAME);
        launcher = macos / "QuillbayDownloader";
        bareExec = macos / "BareExec";
        program = macos / QBY_PROGRAM_NAME;
        root = macos.parent_path().parent_path().parent_path();
    }
    ~Bundle() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path root, launcher, bareExec, program;
};

// CPU time (user and system) of the waited-for children so far, in microseconds: on a busy
// machine it tells the launcher's own cost where wall time mostly tells the queue.
double childrenCpuMicroseconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto micros = [](const timeval& t) { return t.tv_sec * 1e6 + t.tv_usec; };
    return micros(usage.ru_utime) + micros(usage.ru_stime);
}

// Starts `path` once per iteration; reports the children's CPU time per start beside the wall
// time.
void startRepeatedly(benchmark::State& state, const std::string& path) {
    const double before = childrenCpuMicroseconds();
    for (auto _ : state) {
        if (!run(path)) state.SkipWithError("the program did not run to its end");
    }
    state.counters["child_cpu_us"] =
        benchmark::Counter(childrenCpuMicroseconds() - before, benchmark::Counter::kAvgIterations);
}

const Bundle& bundle() {
    static const Bundle made;
    return made;
}

void BM_ProgramDirectly(benchmark::State& state) {
    startRepeatedly(state, bundle().program);
}
BENCHMARK(BM_ProgramDirectly)->Unit(benchmark::kMicrosecond);

void BM_ProgramThroughBareExec(benchmark::State& state) {
    startRepeatedly(state, bundle().bareExec);
}
BENCHMARK(BM_ProgramThroughBareExec)->Unit(benchmark::kMicrosecond);

void BM_ProgramThroughLauncher(benchmark::State& state) {
    startRepeatedly(state, bundle().launcher);
}
BENCHMARK(BM_ProgramThroughLauncher)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
