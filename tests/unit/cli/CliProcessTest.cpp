// tarnwick-cli as a person or a production-line script runs it: exit codes and what it says.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
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
};

CliRun RunCli(const std::string& args) {
    const std::string command = std::string(TARNWICK_CLI) + " " + args + " 2>&1";
    CliRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> buf{};
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), pipe)) {
        run.output.append(buf.data(), n);
    }
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(CliWrite, WritesVerifiesAndKeepsTheEmulatedFlash) {
    const auto contents = PatternBytes(70000);
    TempFile image(contents);
    const std::string flash = image.Dir() + "/flash.img";
    const CliRun run = RunCli("write " + image.Path() + " --verify --emulate=" + flash +
                              " --emulate-size 0x20000");
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_NE(run.output.find("写入数据完成.."), std::string::npos);
    EXPECT_NE(run.output.find("verified"), std::string::npos);

    std::ifstream saved(flash, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(saved)), {});
    ASSERT_EQ(bytes.size(), 0x20000u);
    EXPECT_TRUE(std::equal(contents.begin(), contents.end(), bytes.begin()));
    EXPECT_EQ(bytes[70000], contents[70000 - 512]) << "a short last page carries stale bytes";
    EXPECT_EQ(bytes[70144], 0xFF) << "nothing written past the last page";
}

TEST(CliWrite, GivesEachEndingItsOwnExitCode) {
    TempFile image(PatternBytes(3 * 65536));
    TempFile empty({});
    const std::string emulate = " --emulate ";
    EXPECT_EQ(RunCli("write " + image.Dir() + "/missing.bin" + emulate).code, 2);
    EXPECT_EQ(RunCli("write " + image.Path() + emulate + "--emulate-mute-link").code, 3);
    EXPECT_EQ(RunCli("write " + image.Dir() + emulate).code, 4) << "a directory cannot be read";
    EXPECT_EQ(RunCli("write " + image.Path() + emulate + "--emulate-fail-erase 1").code, 5);
    const CliRun failed = RunCli("write " + image.Path() + emulate + "--emulate-fail-page 0x200");
    EXPECT_EQ(failed.code, 6);  // and it says what failed, and where
    EXPECT_NE(failed.output.find("write data err .."), std::string::npos);
    EXPECT_NE(failed.output.find("page write at 0x000200: programmer reported write status 2"),
              std::string::npos)
        << failed.output;
    EXPECT_EQ(RunCli("write " + image.Path() + emulate + "--emulate-drop-after 40").code, 6);
    EXPECT_EQ(RunCli("write " + empty.Path() + emulate).code, 8);
    EXPECT_EQ(RunCli("write " + image.Path() + emulate + "--emulate-resend 0x200:3").code, 0);
    EXPECT_EQ(RunCli("write").code, 1);
}

TEST(CliService, ReadsTheFlashBackAndRunsTheTransferTestToItsBound) {
    const auto contents = PatternBytes(4096);
    TempFile image(contents);
    const std::string flash = " --emulate=" + image.Dir() + "/flash.img --emulate-size 0x10000";
    ASSERT_EQ(RunCli("write " + image.Path() + flash).code, 0);

    const std::string out = image.Dir() + "/read.bin";
    const CliRun read = RunCli("read " + out + " --length 1100" + flash);
    EXPECT_EQ(read.code, 0) << read.output;
    std::ifstream saved(out, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(contents.begin(), contents.begin() + 1024));

    const CliRun clean = RunCli("transfer-test --bytes 10000 --emulate");
    EXPECT_EQ(clean.code, 0) << clean.output;
    EXPECT_NE(clean.output.find("4 cycles"), std::string::npos) << clean.output;
    const CliRun dirty = RunCli("transfer-test --bytes 4096" + flash);
    EXPECT_EQ(dirty.code, 12) << "the flash holds the image: the pattern cannot be programmed";
    EXPECT_NE(dirty.output.find("transfer data err .."), std::string::npos);
}

TEST(CliService, AFailedReadBackLeavesNoFile) {
    TempFile dir({});
    const std::string out = dir.Dir() + "/read.bin";
    EXPECT_EQ(RunCli("read " + out + " --length 4096 --emulate --emulate-drop-after 3").code, 11);
    EXPECT_FALSE(std::ifstream(out).good());
    EXPECT_EQ(RunCli("read " + out + " --length 4096 --emulate --emulate-mute-link").code, 3);
    EXPECT_FALSE(std::ifstream(out).good());
}

TEST(CliList, FindsTheEmulatedProgrammerAsDrive1OnSg0) {
    const CliRun found = RunCli("list --emulate");
    EXPECT_EQ(found.code, 0);
    EXPECT_NE(found.output.find("programmer: drive 1 (emulated /dev/sg0)"), std::string::npos)
        << found.output;
    const CliRun json = RunCli("list --emulate --json");
    EXPECT_NE(json.output.find("\"current\":{\"drive\":1"), std::string::npos) << json.output;
}

TEST(CliTarget, ANamedDeviceMustBeTheProgrammer) {
    TempFile image(PatternBytes(600));
    EXPECT_EQ(RunCli("write " + image.Path() + " --emulate --device /dev/sg0").code, 0);
    const CliRun other = RunCli("write " + image.Path() + " --emulate --device /dev/sg1");
    EXPECT_EQ(other.code, 9);
    EXPECT_NE(other.output.find("/dev/sg1 is not the programmer"), std::string::npos);
    EXPECT_EQ(RunCli("write " + image.Path() + " --emulate --device /dev/sda").code, 1);
}

}  // namespace
}  // namespace tarnwick::cli
