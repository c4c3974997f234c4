#include "platform/linux/UdevMonitor.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(UdevMonitor, OnlyAddRemoveAndChangeOfScsiGenericScsiAndUsbDevicesCount) {
    for (const char* action : {"add", "remove", "change"}) {
        for (const char* subsystem : {"scsi_generic", "scsi", "usb"}) {
            EXPECT_TRUE(UdevMonitor::IsRelevant(action, subsystem)) << action << " " << subsystem;
        }
        EXPECT_FALSE(UdevMonitor::IsRelevant(action, "block")) << action;
        EXPECT_FALSE(UdevMonitor::IsRelevant(action, "scsi_host")) << action;
        EXPECT_FALSE(UdevMonitor::IsRelevant(action, "")) << action;
    }
    for (const char* action : {"bind", "unbind", "move", "online", "offline", ""}) {
        EXPECT_FALSE(UdevMonitor::IsRelevant(action, "usb")) << action;
    }
}

}  // namespace
}  // namespace tarnwick
