#include "platform/linux/UdevMonitor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <system_error>

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

TEST(UdevMonitor, TheKernelSourceWorksWithoutAUdevDaemonAndDispatchNeverWaits) {
    try {
        UdevMonitor monitor(UdevMonitor::Source::Kernel);
        EXPECT_STREQ(monitor.SourceName(), "kernel");
        EXPECT_GE(monitor.PollFd(), 0);
        // Nothing is pending on a machine without SCSI or USB activity; a blocking read would
        // hang here until the test's time-out.
        std::size_t calls = 0;
        const std::size_t delivered = monitor.Dispatch([&](const DeviceChange&) { ++calls; });
        EXPECT_EQ(delivered, calls);
    } catch (const std::system_error& e) {
        // Where netlink is forbidden the failure must say which source could not be opened.
        EXPECT_THAT(e.what(), ::testing::HasSubstr("udev monitor (kernel source)"));
        GTEST_SKIP() << e.what();
    }
}

}  // namespace
}  // namespace tarnwick
