#include "platform/linux/files/background_flush.hpp"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace qor {

namespace {

// glibc has no wrappers for the kernel's AIO calls.
long io_setup(unsigned events, aio_context_t* context) { return ::syscall(SYS_io_setup, events, context); }
long io_destroy(aio_context_t context) { return ::syscall(SYS_io_destroy, context); }
long io_submit(aio_context_t context, long count, iocb** requests) {
  return ::syscall(SYS_io_submit, context, count, requests);
}
long io_getevents(aio_context_t context, long min_events, long max_events, io_event* events, timespec* timeout) {
  return ::syscall(SYS_io_getevents, context, min_events, max_events, events, timeout);
}

}  // namespace

BackgroundFlush::~BackgroundFlush() {
  if (!set_up_) return;
  wait();
  io_destroy(context_);
}

bool BackgroundFlush::start(int fd) {
  if (!available_ || !idle()) return false;
  if (!set_up_) {
    set_up_ = io_setup(1, &context_) == 0;
    available_ = set_up_;
    if (!set_up_) return false;
  }
  iocb request{};
  request.aio_lio_opcode = IOCB_CMD_FDSYNC;
  request.aio_fildes = static_cast<__u32>(fd);
  iocb* requests[] = {&request};
  // The kernel copies the request; it need not outlive the call.
  if (io_submit(context_, 1, requests) != 1) {
    // Kernels before 4.18 have no AIO fdatasync: stop asking.
    if (errno == EINVAL) available_ = false;
    return false;
  }
  running_ = true;
  return true;
}

bool BackgroundFlush::idle() {
  if (running_) collect(0);
  return !running_;
}

void BackgroundFlush::wait() {
  while (running_) collect(1);
}

void BackgroundFlush::collect(long min_events) {
  io_event event{};
  timespec no_wait{};
  const long got = io_getevents(context_, min_events, 1, &event, min_events == 0 ? &no_wait : nullptr);
  if (got == 1) {
    running_ = false;
    if (event.res != 0) failed_ = true;
  } else if (got < 0 && errno != EINTR) {
    // The context is unusable; the flush's outcome is unknown.
    running_ = false;
    failed_ = true;
  }
}

}  // namespace qor
