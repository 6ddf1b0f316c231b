#include "platform/win32/call_worker.hpp"

#include <chrono>
#include <thread>
#include <utility>

namespace qor::win32 {

namespace {

// How long the caller waits between looks at the watch: short enough that
// a finished call is taken up at once (the wait ends when it finishes) and
// the window is asked about every 25 ms.
constexpr std::chrono::milliseconds kLookEvery{10};

}  // namespace

struct CallWorker::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> task;
  bool done = false;
  bool quit = false;
};

CallWorker::CallWorker(TransferWatch& watch) : watch_(watch), shared_(std::make_shared<Shared>()) {
  // The thread shares the state, so that it may outlive the worker.
  std::thread([shared = shared_] {
    std::unique_lock lock(shared->mutex);
    for (;;) {
      shared->changed.wait(lock, [&] { return shared->task || shared->quit; });
      if (!shared->task) return;
      std::function<void()> task = std::move(shared->task);
      shared->task = nullptr;
      lock.unlock();
      task();
      // What the task holds (handles among it) goes here, on this thread.
      task = nullptr;
      lock.lock();
      shared->done = true;
      shared->changed.notify_all();
    }
  }).detach();
}

CallWorker::~CallWorker() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->quit = true;
  }
  shared_->changed.notify_all();
}

std::optional<Failure> CallWorker::wait_for(std::function<void()> task, std::uint64_t received,
                                            SharedInternet* blocking_on) {
  if (stopped_) return stopped_;
  // Asked before the call starts, too: an operation the caller has given up
  // sends nothing more.
  stopped_ = watch_.check(received);
  if (stopped_) return stopped_;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->task = std::move(task);
    shared_->done = false;
  }
  shared_->changed.notify_all();
  for (;;) {
    {
      std::unique_lock lock(shared_->mutex);
      if (shared_->changed.wait_for(lock, kLookEvery, [this] { return shared_->done; })) return std::nullopt;
    }
    stopped_ = watch_.check(received);
    if (stopped_) {
      if (blocking_on != nullptr) blocking_on->close();
      return stopped_;
    }
  }
}

}  // namespace qor::win32
