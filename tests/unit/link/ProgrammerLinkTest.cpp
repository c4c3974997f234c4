#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "link/ProgrammerLink.h"

namespace tarnwick {
namespace {

struct NullDevice : PassThrough {
    bool Exchange(const PassThroughRequest&, TransferFault*) override { return false; }
};

TEST(ProgrammerLinkWait, WakesWhenDiscoverySetsADevice) {
    ProgrammerLink link;
    std::stop_source stop;
    auto waiting =
        std::async(std::launch::async, [&] { return link.WaitForDevice(stop.get_token()); });
    auto device = std::make_shared<NullDevice>();
    link.Set(device, 3);
    EXPECT_EQ(waiting.get(), device);
    EXPECT_EQ(link.DriveNumber(), 3);
}

TEST(ProgrammerLinkWait, EndsWithoutADeviceWhenStopped) {
    ProgrammerLink link;
    std::stop_source stop;
    auto waiting =
        std::async(std::launch::async, [&] { return link.WaitForDevice(stop.get_token()); });
    stop.request_stop();
    EXPECT_EQ(waiting.get(), nullptr);
}

TEST(ProgrammerLinkWait, GivesUpAtItsDeadline) {
    ProgrammerLink link;
    EXPECT_EQ(link.WaitForDevice({}, std::chrono::steady_clock::now()), nullptr);
}

TEST(ProgrammerLinkReference, ClearingTheLinkLeavesAHolderItsDevice) {
    ProgrammerLink link;
    auto device = std::make_shared<NullDevice>();
    link.Set(device, 2);
    std::weak_ptr<PassThrough> watch = device;
    auto jobCopy = link.Device();
    device.reset();
    link.Clear();
    EXPECT_FALSE(watch.expired()) << "a scan must not close the device under a running job";
    jobCopy.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(link.DriveNumber(), 0);
}

}  // namespace
}  // namespace tarnwick
