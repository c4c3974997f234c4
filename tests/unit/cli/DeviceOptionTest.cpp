#include <gtest/gtest.h>

#include "cli/CommandOptions.h"

namespace tarnwick::cli {
namespace {

TEST(DeviceOption, NamesDriveNPlus1ForSgNAndAcceptsOnlyNodesWithinTheSearchedRange) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"/dev/sg0", 1}, {"/dev/sg125", 126}, {"/dev/sg126", std::nullopt}, {"/dev/sda", {}},
        {"/dev/sg", {}}, {"/dev/sg1x", {}},   {"/dev/sg00001", {}}};
    for (const auto& [node, drive] : cases) {
        EXPECT_EQ(DriveNumberOf(node), drive) << node;
    }
}

}  // namespace
}  // namespace tarnwick::cli
