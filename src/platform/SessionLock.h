#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "link/Fault.h"

namespace tarnwick {

// A named marker that at most one process of the user's log-in session holds; the system drops
// it with its holder, however that ends. Each system's folder below has its own:
// - Linux: an exclusive flock on a file of that name in $XDG_RUNTIME_DIR (or, when that is
//   unset, in a private per-user directory below the temporary directory). That directory
//   serves every session of the user, so where $XDG_SESSION_ID tells the session, the file's
//   name carries it; without it the lock is one per user.
// - Windows: a mutex of that name in the session's namespace ("Local\" + name); `directory`
//   is not used there.
// Acquire never blocks and never throws; any thread may call it. A lock that cannot be set up
// at all reports Unavailable with the reason, and its holder should carry on as if alone.
class SessionLock {
  public:
    enum class State {
        Held,           // this object holds the lock
        HeldElsewhere,  // another holder (process or object) has it
        Unavailable,    // the lock file could not be created or locked; see Why()
    };

    // `directory` empty: the session's runtime directory, see DefaultDirectory. The file is
    // `name`, followed by ".session-" and the session id (bytes other than letters, digits,
    // '-' and '_' as "%XX") where $XDG_SESSION_ID is set.
    static SessionLock Acquire(std::string_view name, std::string directory = {});

    // Linux: $XDG_RUNTIME_DIR when set; otherwise <tmp>/tarnwick-<uid>, created with mode 0700
    // and refused when another user owns it or others may write into it. Windows: a fault, the
    // marker being no file there.
    static Result<std::string> DefaultDirectory();

    SessionLock(SessionLock&& other) noexcept
        : handle_(std::exchange(other.handle_, -1)),
          state_(std::exchange(other.state_, State::Unavailable)),
          path_(std::move(other.path_)),
          unavailable_(std::move(other.unavailable_)) {}
    SessionLock& operator=(SessionLock&& other) noexcept {
        if (this != &other) {
            Release();
            handle_ = std::exchange(other.handle_, -1);
            state_ = std::exchange(other.state_, State::Unavailable);
            path_ = std::move(other.path_);
            unavailable_ = std::move(other.unavailable_);
        }
        return *this;
    }
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;
    ~SessionLock() { Release(); }

    State state() const { return state_; }
    const std::string& Path() const { return path_; }
    // Why the lock is Unavailable; none otherwise.
    const std::optional<Fault>& Why() const { return unavailable_; }

  private:
    SessionLock() = default;
    void Release();  // each system's own

    std::intptr_t handle_ = -1;  // the lock file's descriptor, or the mutex's handle; -1: none
    State state_ = State::Unavailable;
    std::string path_;
    std::optional<Fault> unavailable_;
};

}  // namespace tarnwick
