// write --all's runner on two emulated programmers: they run at once, and a fault on one ends
// that one's job alone.
#include "cli/MultiWrite.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "TempFile.h"
#include "emulator/EmulatedProgrammer.h"

namespace tarnwick::cli {
namespace {

using tarnwick::testing::PatternBytes;
using tarnwick::testing::TempFile;

// Holds each device's first exchange until every device has sent its first: jobs run one after
// another would leave the first waiting, and the wait gives up and says so.
struct Rendezvous {
    std::mutex mutex;
    std::condition_variable arrived;
    int waiting = 0;
    int expected = 0;
    bool missed = false;

    void Meet() {
        std::unique_lock lock(mutex);
        ++waiting;
        arrived.notify_all();
        if (!arrived.wait_for(lock, std::chrono::seconds(10),
                              [&] { return waiting >= expected; })) {
            missed = true;
        }
    }
};

class MeetingDevice : public PassThrough {
  public:
    MeetingDevice(std::shared_ptr<EmulatedProgrammer> inner_, Rendezvous& meeting_)
        : inner(std::move(inner_)), meeting(meeting_) {}
    Result<void> Exchange(const PassThroughRequest& request) override {
        if (!met) {
            met = true;
            meeting.Meet();
        }
        return inner->Exchange(request);
    }

  private:
    std::shared_ptr<EmulatedProgrammer> inner;
    Rendezvous& meeting;
    bool met = false;
};

TEST(WriteEach, RunsAtOnceAndAFaultEndsOnlyItsProgrammer) {
    const std::vector<std::uint8_t> bytes = PatternBytes(70000);
    TempFile image(bytes);
    auto good = std::make_shared<EmulatedProgrammer>();
    auto bad = std::make_shared<EmulatedProgrammer>();
    bad->SetFaults({.failPage = {0x200}});
    Rendezvous meeting;
    meeting.expected = 2;
    const std::vector<WriteTarget> targets{
        {std::make_shared<MeetingDevice>(good, meeting),
         FoundProgrammer{1, "/dev/sg0", std::nullopt, "1-1", std::nullopt}},
        {std::make_shared<MeetingDevice>(bad, meeting),
         FoundProgrammer{2, "/dev/sg1", std::nullopt, "", std::nullopt}},
    };
    std::ostringstream out;
    ProgressBoard board(out, false);
    const ReportOptions noLog;
    std::vector<ProgressBoard::Row*> rows;
    std::vector<std::unique_ptr<JobReport>> reports;
    for (const WriteTarget& target : targets) {
        const std::string tag = TargetTag(target.programmer);
        rows.push_back(&board.AddRow(tag, "waiting"));
        reports.push_back(
            std::make_unique<JobReport>("write", image.Path(), noLog, *rows.back(), tag));
    }

    const std::vector<TargetOutcome> outcomes =
        WriteEach(targets, image.Path(), true, rows, reports, {});

    EXPECT_FALSE(meeting.missed) << "the jobs did not run at the same time";
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].result.ending, ProgramEnding::Success);
    EXPECT_EQ(outcomes[0].result.bytesWritten, bytes.size());
    EXPECT_TRUE(outcomes[0].verifyRan);
    EXPECT_FALSE(outcomes[0].verifyError.has_value());
    EXPECT_EQ(good->FlashBytes(0, static_cast<std::uint32_t>(bytes.size())), bytes);

    EXPECT_EQ(outcomes[1].result.ending, ProgramEnding::WriteFailed);
    EXPECT_TRUE(outcomes[1].result.fault.has_value());
    EXPECT_EQ(outcomes[1].result.bytesWritten, 0x200u);
    EXPECT_FALSE(outcomes[1].verifyRan);

    // Every line whole and tagged: the port path, or the node of one with none.
    std::istringstream lines(out.str());
    int tagged[2] = {0, 0};
    for (std::string line; std::getline(lines, line);) {
        const bool first = line.starts_with("[1-1] ");
        const bool second = line.starts_with("[/dev/sg1] ");
        EXPECT_TRUE(first || second) << line;
        tagged[0] += first;
        tagged[1] += second;
    }
    EXPECT_GT(tagged[0], 0) << out.str();
    EXPECT_GT(tagged[1], 0) << out.str();
    EXPECT_NE(out.str().find("[1-1] verifying.."), std::string::npos) << out.str();
}

// The command's own ending: exit codes and the table, on the emulated programmer (one, on a
// node without a port path).
TEST(WriteAll, ExitsZeroOnlyWhenEveryProgrammerSucceeded) {
    TempFile image(PatternBytes(70000));
    const struct {
        std::string options;
        int exit;
        std::string says;  // on standard output and error together
    } cases[] = {
        {"--emulate --verify", 0, "emulated /dev/sg0  -                    success"},
        {"--emulate --emulate-fail-page 0x400", 13, "[emulated /dev/sg0] write failed:"},
        {"--emulate --emulate-unplugged", 9, "no programmer found"},
        {"--emulate --json", 0, R"({"event":"summary","exit":0,"written":1,"failed":0})"},
        {"--emulate --wait 1", 1, "excludes"},
        {"--emulate --device /dev/sg0 --device /dev/sg00", 1, "names emulated /dev/sg0 twice"},
    };
    for (const auto& c : cases) {
        const std::string out = image.Dir() + "/out.txt";
        const int status = std::system(
            ("timeout -s KILL 60 " + std::string(TARNWICK_CLI) + " write " + image.Path() +
             (c.options.find("--device") == std::string::npos ? " --all " : " ") + c.options +
             " >" + out + " 2>&1")
                .c_str());
        std::ostringstream output;
        output << std::ifstream(out).rdbuf();
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.exit) << c.options << "\n"
                                                                        << output.str();
        EXPECT_NE(output.str().find(c.says), std::string::npos) << c.options << "\n"
                                                                << output.str();
    }
}

}  // namespace
}  // namespace tarnwick::cli
