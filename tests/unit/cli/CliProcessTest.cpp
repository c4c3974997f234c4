// tarnwick-cli as a person or a production-line script runs it: refusals and interrupts. The
// exit code of each ending is checked end to end against the gadget (tests/e2e/cases).
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>

#include "TempFile.h"

namespace tarnwick::cli {
namespace {

using tarnwick::testing::PatternBytes;
using tarnwick::testing::TempFile;

struct CliRun {
    int code = -1;
    std::string output;  // standard output and error together
    bool hung = false;   // killed by the guard
};

// Runs tarnwick-cli; sends SIGTERM once the output shows `stopAt` (when given). A run that
// outlives `limit` is killed and marked hung, so a tool that blocks fails instead of hanging
// the suite.
CliRun RunCli(const std::string& args, const std::string& stopAt = {},
              std::chrono::seconds limit = std::chrono::seconds(10)) {
    const std::string command = "exec " + std::string(TARNWICK_CLI) + " " + args + " 2>&1";
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    CliRun run;
    bool signalled = stopAt.empty();
    const auto killAt = std::chrono::steady_clock::now() + limit;
    for (std::array<char, 4096> buf{};;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            killAt - std::chrono::steady_clock::now());
        pollfd fd{fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) == 0) {
            kill(pid, SIGKILL);
            run.hung = true;
            break;
        }
        const ssize_t n = read(fds[0], buf.data(), buf.size());
        if (n <= 0) {
            break;
        }
        run.output.append(buf.data(), static_cast<std::size_t>(n));
        if (!signalled && run.output.find(stopAt) != std::string::npos) {
            signalled = kill(pid, SIGTERM) == 0;
        }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CliInterrupt, SigtermEndsEveryPhaseWithExitTenAndNoSuccessLine) {
    TempFile image(PatternBytes(70000));  // two erase blocks, 137 pages
    const std::string slow = " --emulate --emulate-latency-us 10000";
    const struct {
        std::string args;
        std::string stopAt;  // the phase has begun
        std::string says;
    } cases[] = {
        {"write " + image.Path() + " --emulate --emulate-unplugged --wait", "waiting for",
         "stopped while waiting for a programmer"},
        {"write " + image.Path() + slow, "写入数据中..", "stopped before the page"},
        {"write " + image.Path() + " --verify" + slow, "verifying..", "not verified"},
        {"read " + image.Dir() + "/read.bin --length 70000" + slow, "progress",
         "read-back stopped"},
        {"transfer-test" + slow, "progress", "interrupted"},
        // A command the programmer does not finish is left behind after the grace time.
        {"read " + image.Dir() + "/read.bin --length 700 --emulate --emulate-latency-us 60000000",
         "rounded down", "left unfinished"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCli(c.args, c.stopAt);
        EXPECT_FALSE(run.hung) << c.args;
        EXPECT_EQ(run.code, 10) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << "\n" << run.output;
        for (const char* success : {"written:", "verified:", "read:"}) {
            EXPECT_EQ(run.output.find(success), std::string::npos) << c.args << "\n" << run.output;
        }
    }
    EXPECT_FALSE(std::ifstream(image.Dir() + "/read.bin").good())
        << "a stopped read leaves no file";
}

}  // namespace
}  // namespace tarnwick::cli
