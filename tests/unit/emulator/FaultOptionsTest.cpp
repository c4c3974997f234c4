#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include "emulator/FaultOptions.h"

namespace tarnwick {
namespace {

std::optional<FaultPlan> Parse(const std::string& commandLine, std::string& error) {
    CLI::App app;
    FaultOptions options;
    AddFaultOptions(app, options);
    app.parse(commandLine, false);
    return MakeFaultPlan(options, &error);
}

TEST(FaultOptions, TurnAddressCountPairsIntoThePlanAndNameTheOptionOfAMalformedOne) {
    using Counts = std::map<std::uint32_t, int>;
    std::string error;
    const auto plan = Parse(
        "--emulate-fail-write-request 0x200:3 --emulate-short-status 512:2 --emulate-resend 0:1",
        error);
    ASSERT_TRUE(plan) << error;
    EXPECT_EQ(plan->failWriteRequest, (Counts{{0x200, 3}}));
    EXPECT_EQ(plan->shortStatus, (Counts{{0x200, 2}}));
    EXPECT_EQ(plan->resendPage, (Counts{{0, 1}}));

    for (const std::string option : {"--emulate-fail-write-request", "--emulate-short-status"}) {
        for (const std::string bad : {"0x200", "0x200:-1", "page:1", "0x200:1x"}) {
            EXPECT_FALSE(Parse(option + " " + bad, error)) << option << " " << bad;
            EXPECT_EQ(error, option + " expects ADDRESS:COUNT, got '" + bad + "'");
        }
    }
}

}  // namespace
}  // namespace tarnwick
