#include "platform/windows/DiskChangeSource.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick {
namespace {

// Calls the source's callback as the system would, from a thread of its own.
void Notify(DiskChangeSource& source, CM_NOTIFY_ACTION action, const std::wstring& link) {
    std::vector<std::byte> data(offsetof(CM_NOTIFY_EVENT_DATA, u.DeviceInterface.SymbolicLink) +
                                (link.size() + 1) * sizeof(WCHAR));
    auto* event = reinterpret_cast<CM_NOTIFY_EVENT_DATA*>(data.data());
    event->FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE;
    std::copy(link.begin(), link.end(), event->u.DeviceInterface.SymbolicLink);
    std::thread([&] {
        DiskChangeSource::Notified(nullptr, &source, action, event,
                                   static_cast<DWORD>(data.size()));
    }).join();
}

bool Signalled(const DiskChangeSource& source) {
    return ::WaitForSingleObject(source.WaitHandle(), 0) == WAIT_OBJECT_0;
}

// Arrivals and removals reach the display's thread in order, as "add" and "remove" of disks
// (each a reason to scan again); other actions are no change. The event is set exactly while
// changes wait.
TEST(DiskChangeSource, ArrivalsAndRemovalsWaitForDispatchInOrder) {
    auto source = DiskChangeSource::Unregistered();
    EXPECT_EQ(source->PollFd(), -1);
    EXPECT_FALSE(Signalled(*source));
    Notify(*source, CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL, L"\\\\?\\USBSTOR#Disk#1");
    Notify(*source, CM_NOTIFY_ACTION_DEVICEQUERYREMOVE, L"\\\\?\\USBSTOR#Disk#1");
    Notify(*source, CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL, L"\\\\?\\USBSTOR#Disk#1");
    EXPECT_TRUE(Signalled(*source));

    std::vector<DeviceChange> seen;
    EXPECT_EQ(source->Dispatch([&](const DeviceChange& c) { seen.push_back(c); }), 2u);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].action, "add");
    EXPECT_EQ(seen[1].action, "remove");
    EXPECT_EQ(seen[0].subsystem, "disk");
    EXPECT_EQ(seen[0].name, "\\\\?\\USBSTOR#Disk#1");
    EXPECT_FALSE(Signalled(*source));
    EXPECT_EQ(source->Dispatch([&](const DeviceChange& c) { seen.push_back(c); }), 0u);
}

}  // namespace
}  // namespace tarnwick
