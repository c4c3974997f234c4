#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace tarnwick {

// Runs at most one job at a time on a worker thread, so two jobs never drive the programmer
// in turn. TryStart and StopAndJoin are called from the display's thread; the job gets a stop
// token that is set when the application exits.
class JobRunner {
  public:
    JobRunner() = default;
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;
    ~JobRunner() { StopAndJoin(); }

    // False, and nothing started, while a job waits or runs.
    bool TryStart(std::function<void(std::stop_token)> job);
    bool Busy() const { return busy.load(); }
    // Asks the job to stop and waits for it to end.
    void StopAndJoin();

  private:
    std::mutex mutex;
    std::jthread worker;
    std::atomic<bool> busy{false};
};

}  // namespace tarnwick
