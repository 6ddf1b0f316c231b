// An fdatasync that runs in the kernel (Linux AIO) while the caller goes on
// writing. Only fdatasync empties the disk's own write cache, and that cache
// can hold hundreds of megabytes; flushing it bit by bit during a download
// leaves little for the final, blocking flush. Where the kernel refuses AIO
// nothing starts and the final flush does all the work.
#pragma once

#include <linux/aio_abi.h>

namespace qor {

class BackgroundFlush {
 public:
  BackgroundFlush() = default;
  BackgroundFlush(const BackgroundFlush&) = delete;
  BackgroundFlush& operator=(const BackgroundFlush&) = delete;
  // Waits for a flush still running.
  ~BackgroundFlush();

  // Starts flushing fd unless a flush is still running or AIO is not
  // available; true when one started.
  bool start(int fd);
  // True when no flush is running; collects one that has finished.
  bool idle();
  // Blocks until no flush is running.
  void wait();
  // True once a flush has reported a write error. The kernel tells such an
  // error only once, so a later fdatasync of the same file may not repeat it.
  bool failed() const { return failed_; }
  // False once the kernel has refused AIO.
  bool available() const { return available_; }

 private:
  void collect(long min_events);

  // Set up on the first flush only: releasing a context costs tens of
  // milliseconds, too much for each of a thousand small files.
  aio_context_t context_ = 0;
  bool set_up_ = false;
  bool available_ = true;
  bool running_ = false;
  bool failed_ = false;
};

}  // namespace qor
