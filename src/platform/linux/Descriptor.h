#pragma once

#include <unistd.h>

namespace tarnwick {

// Owns a file descriptor and closes it when it goes (closing also drops a flock held on it).
class Descriptor {
  public:
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd; }

  private:
    int fd;
};

}  // namespace tarnwick
