// tarnwick-cli as a person or a production-line script runs it: refusals and interrupts. The
// exit code of each ending is checked end to end against the gadget (tests/e2e/cases).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "TempFile.h"

namespace tarnwick::cli {
namespace {

using tarnwick::testing::PatternBytes;
using tarnwick::testing::TempFile;

// Runs tarnwick-cli in `dir` and sends it SIGTERM once its output shows `stopAt`; its exit code
// and its standard output and error together. A run that outlives ten seconds is killed (exit
// code 137), so a tool that blocks fails instead of hanging the suite.
std::pair<int, std::string> RunCli(const std::string& args, const std::string& stopAt,
                                   const std::string& dir) {
    const std::string out = dir + "/out.txt";
    // Emptied first: the wait must not find `stopAt` in the previous run's output and stop this
    // run before the tool has set up its handlers.
    std::ofstream(dir + "/run.sh") << ": >" << out << "\n"
                                   << "LC_ALL=C.UTF-8 timeout --foreground -s KILL 10 "
                                   << TARNWICK_CLI << " " << args << " >" << out << " 2>&1 & p=$!\n"
                                   << "until grep -qF -- '" << stopAt << "' " << out
                                   << " || ! kill -0 $p 2>/dev/null; do sleep 0.01; done\n"
                                   << "kill -TERM $p 2>/dev/null\nwait $p\n";
    const int status = std::system(("sh " + dir + "/run.sh").c_str());
    std::ostringstream output;
    output << std::ifstream(out).rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output.str()};
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
        const auto [code, output] = RunCli(c.args, c.stopAt, image.Dir());
        EXPECT_EQ(code, 10) << c.args << "\n" << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << c.args << "\n" << output;
        for (const char* success : {"written:", "verified:", "read:"}) {
            EXPECT_EQ(output.find(success), std::string::npos) << c.args << "\n" << output;
        }
    }
    EXPECT_FALSE(std::ifstream(image.Dir() + "/read.bin").good())
        << "a stopped read leaves no file";
}

// The job's lines follow the person's locale; the erase failure's standard-output line, which
// scripts match, keeps its bytes in every one.
TEST(CliLanguage, JobLinesFollowTheLocaleAndTheStandardOutputLineKeepsItsBytes) {
    TempFile image(PatternBytes(70000));
    const struct {
        std::string locale;
        std::string erasing;
        std::string failed;
    } cases[] = {
        {"LANG=C.UTF-8", "擦除Flash 中..", "擦除Flash 失败.. "},
        {"LANG=zh_CN.UTF-8", "擦除Flash 中..", "擦除Flash 失败.. "},
        {"LANG=en_US.UTF-8", "Erasing flash..", "Erasing flash failed.."},
        {"LANG=zh_CN.UTF-8 LC_MESSAGES=en_GB.UTF-8", "Erasing flash..", "Erasing flash failed.."},
    };
    for (const auto& c : cases) {
        const std::string out = image.Dir() + "/out.txt";
        const std::string err = image.Dir() + "/err.txt";
        const int status = std::system(("env -u LC_ALL -u LC_MESSAGES " + c.locale + " " +
                                        TARNWICK_CLI + " write " + image.Path() +
                                        " --emulate --emulate-fail-erase 1 >" + out + " 2>" + err)
                                           .c_str());
        std::ostringstream stdoutText;
        stdoutText << std::ifstream(out).rdbuf();
        std::ostringstream stderrText;
        stderrText << std::ifstream(err).rdbuf();
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 5) << c.locale;
        EXPECT_EQ(stdoutText.str(), "擦出Flash 失败..\n") << c.locale;
        EXPECT_NE(stderrText.str().find(c.erasing + "\n"), std::string::npos) << c.locale << "\n"
                                                                              << stderrText.str();
        EXPECT_NE(stderrText.str().find(c.failed + "\n"), std::string::npos) << c.locale << "\n"
                                                                             << stderrText.str();
    }
}

// The tool's own result lines are Chinese under a Chinese locale and keep their bytes under C and
// English; a file name that looks like a format or a placeholder goes in as it is.
TEST(CliLanguage, OwnResultLinesFollowTheLocaleAndFileNamesGoInVerbatim) {
    TempFile image(PatternBytes(70000), "fw%s{1}.bin");
    const std::string back = image.Dir() + "/back%s{1}{2}.bin";
    const struct {
        std::string locale;
        std::string writtenStart;
        std::string writtenEnd;
        std::string read;
    } cases[] = {
        {"LANG=C.UTF-8", "written: 68.4 KiB in ", " s, every page confirmed by the programmer\n",
         "read: 64.0 KiB into " + back + "\n"},
        {"LANG=en_US.UTF-8", "written: 68.4 KiB in ",
         " s, every page confirmed by the programmer\n", "read: 64.0 KiB into " + back + "\n"},
        {"LANG=zh_CN.UTF-8", "已写入：68.4 KiB，用时 ", " s，每一页都经编程器确认\n",
         "已读取：64.0 KiB，存入 " + back + "\n"},
    };
    for (const auto& c : cases) {
        const std::string out = image.Dir() + "/out.txt";
        const std::string run =
            "env -u LC_ALL -u LC_MESSAGES " + c.locale + " timeout -s KILL 20 " + TARNWICK_CLI;
        const int wrote = std::system(
            (run + " write '" + image.Path() + "' --emulate -q >" + out + " 2>/dev/null").c_str());
        std::ostringstream written;
        written << std::ifstream(out).rdbuf();
        const int read = std::system(
            (run + " read '" + back + "' --length 65536 --emulate -q >>" + out + " 2>/dev/null")
                .c_str());
        std::ostringstream both;
        both << std::ifstream(out).rdbuf();
        EXPECT_EQ(WIFEXITED(wrote) ? WEXITSTATUS(wrote) : -1, 0) << c.locale;
        EXPECT_EQ(WIFEXITED(read) ? WEXITSTATUS(read) : -1, 0) << c.locale;
        EXPECT_TRUE(written.str().starts_with(c.writtenStart) &&
                    written.str().ends_with(c.writtenEnd))
            << c.locale << "\n"
            << written.str();
        EXPECT_EQ(both.str().substr(written.str().size()), c.read) << c.locale;
    }
}

}  // namespace
}  // namespace tarnwick::cli
