// WinINet's FTP calls block: a login, a listing or a read waits on the
// server for as long as the server likes, and WinINet's asynchronous mode
// does not help everywhere (Wine's WinINet logs in and lists synchronously
// even in that mode). So each call of an operation runs on a worker thread
// of the operation's own, while the calling thread (the window's) waits in
// short steps and asks a TransferWatch between them: keep_going about every
// 25 ms (the window handles its events there), the deadline and the caps.
//
// When the watch ends the wait, the caller has its failure at once and the
// call is left to end on its own: the handle it blocks on is closed, which
// ends the call on Windows (Wine's WinINet lets a blocked listing or read
// run on until the server ends it). A call owns, or shares, everything it
// touches, so it may outlive the caller's objects; handles are shared by
// both sides and closed once, by whoever is last.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "portable/result/result.hpp"
#include "portable/transfer/transfer_watch.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

// A WinINet handle that either thread may close; it is closed once, by the
// first close() or by the last owner.
class SharedInternet {
 public:
  explicit SharedInternet(HINTERNET handle) : handle_(handle) {}
  SharedInternet(const SharedInternet&) = delete;
  SharedInternet& operator=(const SharedInternet&) = delete;
  ~SharedInternet() { close(); }
  HINTERNET get() const { return handle_.load(); }
  void close() {
    if (HINTERNET handle = handle_.exchange(nullptr)) InternetCloseHandle(handle);
  }

 private:
  std::atomic<HINTERNET> handle_;
};
using InternetRef = std::shared_ptr<SharedInternet>;

class CallWorker {
 public:
  // `watch` is asked while calls run; it must outlive the worker's use.
  explicit CallWorker(TransferWatch& watch);
  CallWorker(const CallWorker&) = delete;
  CallWorker& operator=(const CallWorker&) = delete;
  // Lets the thread go; a call still running ends on its own.
  ~CallWorker();

  // Runs `call` on the worker and waits for it. `received` is what the
  // operation has received so far, for the watch. When the watch ends the
  // wait, `blocking_on` (when given) is closed, the worker is spent (every
  // later run fails alike) and the watch's failure is returned.
  template <class T>
  Result<T> run(std::function<T()> call, std::uint64_t received, SharedInternet* blocking_on = nullptr) {
    auto result = std::make_shared<std::optional<T>>();
    if (auto stopped = wait_for([call = std::move(call), result] { *result = call(); }, received, blocking_on))
      return *stopped;
    return std::move(**result);
  }

  // Why the worker is spent, when it is.
  const std::optional<Failure>& stopped() const { return stopped_; }

 private:
  struct Shared;
  std::optional<Failure> wait_for(std::function<void()> task, std::uint64_t received, SharedInternet* blocking_on);

  TransferWatch& watch_;
  std::shared_ptr<Shared> shared_;
  std::optional<Failure> stopped_;
};

}  // namespace qor::win32
