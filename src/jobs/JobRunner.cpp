#include "jobs/JobRunner.h"

#include <utility>

namespace tarnwick {

bool JobRunner::TryStart(std::function<void(std::stop_token)> job) {
    std::lock_guard lock(mutex);
    if (busy.exchange(true)) {
        return false;
    }
    if (worker.joinable()) {
        worker.join();  // the previous job has ended; only its thread is left
    }
    worker = std::jthread([this, job = std::move(job)](std::stop_token stop) {
        job(stop);
        busy.store(false);
    });
    return true;
}

void JobRunner::StopAndJoin() {
    std::lock_guard lock(mutex);
    if (worker.joinable()) {
        worker.request_stop();
        worker.join();
    }
}

}  // namespace tarnwick
