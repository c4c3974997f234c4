#pragma once

#include <mutex>
#include <string>

namespace tarnwick {

// The chosen firmware file: written by the file selection on the display's thread, read by the
// programming job on its own. Safe from any thread.
class FirmwarePath {
  public:
    std::string Get() const {
        std::lock_guard lock(mutex);
        return path;
    }
    void Set(std::string newPath) {
        std::lock_guard lock(mutex);
        path = std::move(newPath);
    }

  private:
    mutable std::mutex mutex;
    std::string path;
};

}  // namespace tarnwick
