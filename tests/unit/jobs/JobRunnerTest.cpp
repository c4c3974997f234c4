#include <gtest/gtest.h>

#include <future>

#include "JobHarness.h"
#include "jobs/JobRunner.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

// Waiting for a programmer counts as running: a second press is refused until the application
// stops the wait, and the runner takes a job again after that.
TEST(JobRunner, RefusesASecondJobWhileOneWaitsAndEndsTheWaitWhenTheApplicationStops) {
    JobHarness h;
    h.link.Clear();
    JobRunner runner;
    std::promise<ProgramResult> result;
    ASSERT_TRUE(runner.TryStart(
        [&](std::stop_token stop) { result.set_value(h.job.ProgramThreadProc(stop)); }));
    EXPECT_TRUE(runner.Busy());
    EXPECT_FALSE(runner.TryStart([](std::stop_token) { ADD_FAILURE() << "second job ran"; }));
    runner.StopAndJoin();
    EXPECT_FALSE(runner.Busy());
    EXPECT_EQ(result.get_future().get().ending, ProgramEnding::Cancelled);
    EXPECT_TRUE(h.programmer->Log().empty());

    std::promise<int> second;
    ASSERT_TRUE(runner.TryStart([&](std::stop_token) { second.set_value(2); }));
    EXPECT_EQ(second.get_future().get(), 2);
}

}  // namespace
}  // namespace tarnwick
