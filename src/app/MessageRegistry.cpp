#include "app/MessageRegistry.h"

namespace tarnwick {

unsigned MessageRegistry::Register(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    std::lock_guard lock(mutex);
    if (const auto found = numbers.find(key); found != numbers.end()) {
        return found->second;
    }
    if (next > kLast) {
        return 0;
    }
    const unsigned number = next++;
    numbers.emplace(std::move(key), number);
    return number;
}

MessageRegistry& MessageRegistry::Process() {
    static MessageRegistry registry;
    return registry;
}

}  // namespace tarnwick
