#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/Fault.h"

namespace tarnwick {

// A named marker that at most one process of the user's log-in session holds: an exclusive
// flock on a file of that name in $XDG_RUNTIME_DIR (or, when that is unset, in a private
// per-user directory below the temporary directory). That directory serves every session of
// the user, so where $XDG_SESSION_ID tells the session, the file's name carries it; without it
// the lock is one per user. The kernel drops the lock with the last descriptor, so it vanishes
// when its holder ends, however it ends.
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

    // $XDG_RUNTIME_DIR when set; otherwise <tmp>/tarnwick-<uid>, created with mode 0700 and
    // refused when another user owns it or others may write into it.
    static Result<std::string> DefaultDirectory();

    SessionLock(SessionLock&& other) noexcept;
    SessionLock& operator=(SessionLock&& other) noexcept;
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;
    ~SessionLock();

    State state() const { return state_; }
    const std::string& Path() const { return path_; }
    // Why the lock is Unavailable; none otherwise.
    const std::optional<Fault>& Why() const { return unavailable_; }

  private:
    SessionLock() = default;
    void Release();

    int fd_ = -1;
    State state_ = State::Unavailable;
    std::string path_;
    std::optional<Fault> unavailable_;
};

}  // namespace tarnwick
