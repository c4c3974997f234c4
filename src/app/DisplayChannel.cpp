#include "app/DisplayChannel.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <string>

namespace tarnwick {

struct DisplayChannel::State {
    std::mutex mutex;
    std::condition_variable handled;
    bool closed = false;
    QObject* window = nullptr;
    WindowProcedure procedure;
    Display display;
    Notice notice;
    // The bar's position while in the working colours, or kNoProgress. Written on the dialog's
    // thread, read by senders: a skipped send is one that would have been handled just before
    // whatever the dialog's thread changes at the same moment.
    std::atomic<std::int64_t> shownProgress{kNoProgress};

    static constexpr std::int64_t kNoProgress = std::numeric_limits<std::int64_t>::min();
};

DisplayChannel::DisplayChannel() : state(std::make_shared<State>()) {}

DisplayChannel::~DisplayChannel() {
    Close();
}

void DisplayChannel::Bind(QObject* window, WindowProcedure procedure, Display display,
                          Notice notice) {
    std::lock_guard lock(state->mutex);
    if (state->closed) {
        return;
    }
    state->window = window;
    state->procedure = std::move(procedure);
    state->display = std::move(display);
    state->notice = std::move(notice);
}

void DisplayChannel::Close() {
    {
        std::lock_guard lock(state->mutex);
        state->closed = true;
        state->window = nullptr;
    }
    state->handled.notify_all();
}

bool DisplayChannel::Closed() const {
    std::lock_guard lock(state->mutex);
    return state->closed;
}

bool DisplayChannel::RunOnDialogThread(std::function<void()> work) {
    std::unique_lock lock(state->mutex);
    if (state->closed || state->window == nullptr) {
        return false;
    }
    if (QThread::currentThread() == state->window->thread()) {
        lock.unlock();
        work();
        return true;
    }
    // The queued call owns what it runs: a nested event loop inside `work` may close the
    // channel and release the sender while `work` still runs.
    auto done = std::make_shared<bool>(false);
    // Posted while the lock is held: Close() cannot slip in between the check and the post,
    // so nothing is ever posted to a window that is going away.
    QMetaObject::invokeMethod(
        state->window,
        [shared = state, done, work = std::move(work)] {
            {
                std::lock_guard inner(shared->mutex);
                if (shared->closed) {
                    return;  // the sender has been released already
                }
            }
            work();
            {
                std::lock_guard inner(shared->mutex);
                *done = true;
            }
            shared->handled.notify_all();
        },
        Qt::QueuedConnection);
    state->handled.wait(lock, [&] { return *done || state->closed; });
    return *done;
}

std::intptr_t DisplayChannel::SendMessage(unsigned message, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
    WindowProcedure procedure;
    {
        std::lock_guard lock(state->mutex);
        procedure = state->procedure;
    }
    if (!procedure) {
        return 0;
    }
    auto result = std::make_shared<std::intptr_t>(0);
    RunOnDialogThread([procedure = std::move(procedure), result, message, wParam, lParam] {
        *result = procedure(message, wParam, lParam);
    });
    return *result;
}

void DisplayChannel::Send(const DisplayMessage& message) {
    // The bar takes the position as an int, so the comparison does too.
    if (message.command == DISPLAY_PROGRESS &&
        state->shownProgress.load() == static_cast<int>(message.value)) {
        return;
    }
    Display display;
    {
        std::lock_guard lock(state->mutex);
        display = state->display;
    }
    if (!display) {
        return;
    }
    RunOnDialogThread([display = std::move(display), message] { display(message); });
}

void DisplayChannel::SetShownProgress(std::optional<int> position) {
    state->shownProgress.store(position ? *position : State::kNoProgress);
}

void DisplayChannel::ShowMessage(const char* text) {
    Notice notice;
    {
        std::lock_guard lock(state->mutex);
        notice = state->notice;
    }
    if (!notice || text == nullptr) {
        return;
    }
    // A copy, because the box runs a nested event loop in which the channel may be closed and
    // this sender released while the box still shows.
    const std::string copy(text);
    RunOnDialogThread([notice = std::move(notice), copy] { notice(copy.c_str()); });
}

}  // namespace tarnwick
