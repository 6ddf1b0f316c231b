// A test server as a child process in a process group of its own, its
// standard output a pipe.
#include "tests/support/server_channel.hpp"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace qor::test {
namespace {

// The test's own standard error, taken before any capture replaces it, so
// that what a server says there never mixes with the client's reports.
const int kTestStderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);

}  // namespace

struct ServerChannel::Impl {
  pid_t pid = -1;
  int out_fd = -1;
};

ServerChannel::ServerChannel(const std::vector<std::string>& argv) : impl_(std::make_unique<Impl>()) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  impl_->pid = ::fork();
  if (impl_->pid < 0) throw std::runtime_error("fork failed");
  if (impl_->pid == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    if (kTestStderr >= 0) ::dup2(kTestStderr, STDERR_FILENO);
    ::setpgid(0, 0);
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    args.reserve(copy.size() + 1);
    for (auto& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  impl_->out_fd = fds[0];
}

ServerChannel::~ServerChannel() {
  stop();
  if (impl_->out_fd >= 0) ::close(impl_->out_fd);
}

void ServerChannel::stop() {
  const pid_t pid = impl_->pid;
  if (pid <= 0) return;
  ::kill(-pid, SIGTERM);
  ::kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 50 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) ::usleep(100 * 1000);
  if (::waitpid(pid, &status, WNOHANG) == 0) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  impl_->pid = -1;
}

bool ServerChannel::read(std::string& into, std::chrono::milliseconds wait) {
  if (impl_->out_fd < 0) return false;
  pollfd p{impl_->out_fd, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return true;
  char chunk[4096];
  const ssize_t n = ::read(impl_->out_fd, chunk, sizeof chunk);
  if (n <= 0) {
    ::close(impl_->out_fd);
    impl_->out_fd = -1;
    return false;
  }
  into.append(chunk, static_cast<std::size_t>(n));
  return true;
}

int closed_port() {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  const bool bound = s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                     ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  if (s >= 0) ::close(s);
  // Port 1 is as closed as a port the kernel just handed out and took back.
  return bound ? ntohs(a.sin_port) : 1;
}

}  // namespace qor::test
