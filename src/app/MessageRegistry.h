#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace tarnwick {

// Gives each message name a number of its own, the same one every time and in every thread
// for the life of the registry; names differing only in ASCII letter case are one name.
// Numbers come from 0xC000..0xFFFF, clear of the fixed window messages.
// Any thread; Register takes a short lock and never blocks otherwise. When the range is used
// up it returns 0, a number no window procedure answers.
class MessageRegistry {
  public:
    static constexpr unsigned kFirst = 0xC000;
    static constexpr unsigned kLast = 0xFFFF;

    unsigned Register(std::string_view name);

    // The registry of this process, shared by every sender and the dialog.
    static MessageRegistry& Process();

  private:
    std::mutex mutex;
    std::map<std::string, unsigned, std::less<>> numbers;
    unsigned next = kFirst;
};

}  // namespace tarnwick
