#include <gtest/gtest.h>

#include <future>
#include <latch>

#include "JobHarness.h"
#include "jobs/JobRunner.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

TEST(JobRunner, RefusesASecondJobWhileOneRunsAndTakesOneAfterItEnded) {
    JobRunner runner;
    std::promise<void> release;
    auto released = release.get_future().share();
    std::promise<void> firstDone;
    ASSERT_TRUE(runner.TryStart([&, released](std::stop_token) {
        released.wait();
        firstDone.set_value();
    }));
    EXPECT_TRUE(runner.Busy());
    EXPECT_FALSE(runner.TryStart([](std::stop_token) { ADD_FAILURE() << "second job ran"; }));
    release.set_value();
    firstDone.get_future().wait();
    runner.StopAndJoin();
    EXPECT_FALSE(runner.Busy());

    std::promise<int> second;
    ASSERT_TRUE(runner.TryStart([&](std::stop_token) { second.set_value(2); }));
    EXPECT_EQ(second.get_future().get(), 2);
}

TEST(JobRunner, AJobWaitingForAProgrammerEndsWhenTheApplicationStops) {
    JobHarness h;
    h.link.Clear();
    JobRunner runner;
    std::promise<ProgramResult> result;
    ASSERT_TRUE(runner.TryStart(
        [&](std::stop_token stop) { result.set_value(h.job.ProgramThreadProc(stop)); }));
    EXPECT_TRUE(runner.Busy()) << "waiting counts as running: a second press is refused";
    runner.StopAndJoin();
    EXPECT_EQ(result.get_future().get().ending, ProgramEnding::Cancelled);
    EXPECT_TRUE(h.programmer->Log().empty());
}

}  // namespace
}  // namespace tarnwick
