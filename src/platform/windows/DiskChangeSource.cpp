#include "platform/windows/DiskChangeSource.h"

#include <initguid.h>

#include <ntddstor.h>

#include <cwchar>

// Declared by the Windows SDK, not by MinGW-w64's headers; its import library has them.
extern "C" CONFIGRET WINAPI CM_Register_Notification(PCM_NOTIFY_FILTER filter, PVOID context,
                                                     PCM_NOTIFY_CALLBACK callback,
                                                     PHCMNOTIFICATION notification);
extern "C" CONFIGRET WINAPI CM_Unregister_Notification(HCMNOTIFICATION notification);

namespace tarnwick {

namespace {

// The symbolic link is ASCII in practice; anything else is kept as '?', since the name is only
// for messages.
std::string Narrow(const wchar_t* text, std::size_t length) {
    std::string narrow;
    for (std::size_t i = 0; i < length && text[i] != L'\0'; ++i) {
        narrow += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    }
    return narrow;
}

}  // namespace

DiskChangeSource::DiskChangeSource() : event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

DiskChangeSource::~DiskChangeSource() {
    if (registration != nullptr) {
        // Waits for callbacks under way, so none runs on a source that is gone.
        CM_Unregister_Notification(registration);
    }
    if (event != nullptr) {
        ::CloseHandle(event);
    }
}

std::unique_ptr<DiskChangeSource> DiskChangeSource::Unregistered() {
    return std::unique_ptr<DiskChangeSource>(new DiskChangeSource());
}

Result<std::unique_ptr<DiskChangeSource>> DiskChangeSource::Create() {
    auto source = Unregistered();
    if (source->event == nullptr) {
        return Fail("CreateEvent failed (Windows error " + std::to_string(::GetLastError()) + ")");
    }
    CM_NOTIFY_FILTER filter{};
    filter.cbSize = sizeof filter;
    filter.FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE;
    filter.u.DeviceInterface.ClassGuid = GUID_DEVINTERFACE_DISK;
    const CONFIGRET result =
        CM_Register_Notification(&filter, source.get(), &Notified, &source->registration);
    if (result != CR_SUCCESS) {
        source->registration = nullptr;
        return Fail("CM_Register_Notification failed (CONFIGRET " + std::to_string(result) + ")");
    }
    return source;
}

DWORD CALLBACK DiskChangeSource::Notified(HCMNOTIFICATION, PVOID context, CM_NOTIFY_ACTION action,
                                          PCM_NOTIFY_EVENT_DATA data, DWORD size) {
    auto& source = *static_cast<DiskChangeSource*>(context);
    const char* what = action == CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL   ? "add"
                       : action == CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL ? "remove"
                                                                           : nullptr;
    if (what == nullptr) {
        return ERROR_SUCCESS;
    }
    std::string name;
    const std::size_t linkAt = offsetof(CM_NOTIFY_EVENT_DATA, u.DeviceInterface.SymbolicLink);
    if (data != nullptr && size > linkAt) {
        name = Narrow(data->u.DeviceInterface.SymbolicLink, (size - linkAt) / sizeof(WCHAR));
    }
    {
        std::lock_guard lock(source.mutex);
        source.pending.push_back({what, "disk", std::move(name)});
    }
    ::SetEvent(source.event);
    return ERROR_SUCCESS;
}

std::size_t DiskChangeSource::Dispatch(const DeviceChangeHandler& onChange) {
    std::deque<DeviceChange> taken;
    {
        std::lock_guard lock(mutex);
        taken.swap(pending);
        // Reset under the lock: a change queued after this sets it again.
        ::ResetEvent(event);
    }
    for (const DeviceChange& change : taken) {
        onChange(change);
    }
    return taken.size();
}

}  // namespace tarnwick
