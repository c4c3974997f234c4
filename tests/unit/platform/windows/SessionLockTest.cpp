// The single-instance marker on Windows: a named mutex of the session, held by the first
// holder alone for as long as it lives.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/SessionLock.h"

namespace tarnwick {
namespace {

TEST(WindowsSessionLock, OneHolderAtATimeUntilItLetsGo) {
    // Unique per run, so two test runs at once do not meet.
    const std::string name = "tarnwick test " + std::to_string(GetCurrentProcessId());
    {
        std::vector<SessionLock> held;
        held.push_back(SessionLock::Acquire(name));
        ASSERT_EQ(held.back().state(), SessionLock::State::Held) << held.back().Path();
        EXPECT_EQ(held.back().Path(), "Local\\" + name);
        EXPECT_EQ(SessionLock::Acquire(name).state(), SessionLock::State::HeldElsewhere);
        // A move keeps the mutex: the holder in the vector's new storage still holds it.
        held.push_back(SessionLock::Acquire(name + " other"));
        EXPECT_EQ(SessionLock::Acquire(name).state(), SessionLock::State::HeldElsewhere);
    }
    EXPECT_EQ(SessionLock::Acquire(name).state(), SessionLock::State::Held)
        << "the holder's end frees the name";
    const SessionLock bad = SessionLock::Acquire("no\\such\\namespace");
    EXPECT_EQ(bad.state(), SessionLock::State::Unavailable);
    EXPECT_TRUE(bad.Why().has_value());
}

}  // namespace
}  // namespace tarnwick
