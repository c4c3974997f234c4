// What a job leaves for scripts: the --log record (and that a log that cannot be kept stops the
// command before the programmer is touched), and the --json events.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "TempFile.h"
#include "cli/JobRecord.h"

namespace tarnwick::cli {
namespace {

using tarnwick::testing::PatternBytes;
using tarnwick::testing::TempFile;

// Runs tarnwick-cli with its standard output in dir/out.txt, its standard error in dir/err.txt.
int RunCli(const std::string& args, const std::string& dir) {
    const std::string command = "timeout -s KILL 60 " + std::string(TARNWICK_CLI) + " " + args +
                                " >" + dir + "/out.txt 2>" + dir + "/err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<nlohmann::json> Records(const std::string& path) {
    std::vector<nlohmann::json> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));  // throws, failing the test, when cut
    }
    return lines;
}

TEST(JobLog, EachJobAppendsOneWholeRecord) {
    TempFile image(PatternBytes(70000));
    const std::string log = image.Dir() + "/jobs.log";
    const std::string emulate = " --emulate=" + image.Dir() + "/flash.bin --log " + log;
    const struct {
        std::string args;
        int exit;
        const char* ending;
        nlohmann::json verified;
    } cases[] = {
        {"write " + image.Path() + emulate, 0, "success", nullptr},
        {"write " + image.Path() + " --verify" + emulate, 0, "success", true},
        {"write " + image.Path() + " --emulate-fail-erase 1" + emulate, 5, "erase failed", nullptr},
        {"read " + image.Dir() + "/back.bin --length 70000" + emulate, 0, "success", nullptr},
    };
    const Result<FileDigest> imageDigest = DigestFile(image.Path());
    ASSERT_TRUE(imageDigest);
    for (const auto& c : cases) {
        EXPECT_EQ(RunCli(c.args, image.Dir()), c.exit) << c.args;
    }
    const std::vector<nlohmann::json> records = Records(log);
    ASSERT_EQ(records.size(), std::size(cases));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const nlohmann::json& r = records[i];
        SCOPED_TRACE(cases[i].args + "\n" + r.dump());
        EXPECT_EQ(r["exit"], cases[i].exit);
        EXPECT_EQ(r["ending"], cases[i].ending);
        EXPECT_EQ(r["verified"], cases[i].verified);
        EXPECT_EQ(r["detail"].get<std::string>().empty(), cases[i].exit == 0);
        EXPECT_TRUE(r["programmer"].is_object());
        EXPECT_TRUE(r["seconds"].is_number());
        EXPECT_TRUE(r["host"].is_string() && r["version"].is_string());
        const std::string time = r["time"];
        EXPECT_EQ(time.size(), 24u);
        EXPECT_EQ(time.back(), 'Z');
    }
    // Write and read name the same bytes: the image, and the flash's first 70000 bytes of it
    // read back in whole pages.
    EXPECT_EQ(records[0]["command"], "write");
    EXPECT_EQ(records[0]["size"], 70000);
    EXPECT_EQ(records[0]["sha256"], imageDigest->sha256);
    EXPECT_EQ(records[3]["command"], "read");
    const Result<FileDigest> back = DigestFile(image.Dir() + "/back.bin");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size, 69632u);
    EXPECT_EQ(records[3]["sha256"], back->sha256);
}

TEST(JobLog, OneThatCannotBeOpenedStopsTheCommandBeforeTheProgrammer) {
    TempFile image(PatternBytes(4096));
    const std::string flash = image.Dir() + "/flash.bin";
    for (const std::string& log : {image.Dir() + "/missing/jobs.log", image.Dir()}) {
        const std::string emulate = " --emulate=" + flash + " --log " + log;
        for (const std::string& args :
             {"write " + image.Path() + emulate,
              "read " + image.Dir() + "/back.bin --length 512" + emulate}) {
            EXPECT_EQ(RunCli(args, image.Dir()), 14) << args;
            std::ostringstream output;
            output << std::ifstream(image.Dir() + "/err.txt").rdbuf();
            EXPECT_NE(output.str().find("log"), std::string::npos) << output.str();
            // The emulated flash is saved when a command that reached the programmer ends.
            EXPECT_FALSE(std::filesystem::exists(flash)) << args;
            EXPECT_FALSE(std::filesystem::exists(image.Dir() + "/back.bin")) << args;
        }
    }
}

TEST(JsonEvents, StdoutIsOnlyEventsFromStartToEnd) {
    TempFile image(PatternBytes(300000));
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(
        RunCli("write " + image.Path() + " --verify --json --emulate --emulate-latency-us 300",
               image.Dir()),
        0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    const std::vector<nlohmann::json> events = Records(image.Dir() + "/out.txt");
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front()["event"], "start");
    EXPECT_EQ(events.front()["size"], 300000);
    EXPECT_TRUE(events.front()["programmer"].is_object());
    EXPECT_EQ(events.back()["event"], "end");
    EXPECT_EQ(events.back()["exit"], 0);
    EXPECT_EQ(events.back()["ending"], "success");

    std::map<std::string, std::vector<std::uint64_t>> done;  // by phase
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        ASSERT_EQ(events[i]["event"], "progress") << events[i].dump();
        EXPECT_EQ(events[i]["total"], 300000);
        done[events[i]["phase"]].push_back(events[i]["done"]);
    }
    ASSERT_EQ(done.size(), 2u) << "write and verify";
    for (const auto& [phase, counts] : done) {
        EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end())) << phase;
        EXPECT_EQ(counts.back(), 300000u) << phase;
        // Ten a second, the first and the last: however slow the run, never one per page.
        EXPECT_LE(counts.size(), 2 + static_cast<std::size_t>(10 * took.count())) << phase;
    }
}

}  // namespace
}  // namespace tarnwick::cli
