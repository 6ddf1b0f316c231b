#include "server_process.hpp"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace qor::test {

namespace {

// The test's own standard error, taken before any capture replaces it, so
// that what a server says there never mixes with the client's reports.
const int kTestStderr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);

}  // namespace

ServerProcess::ServerProcess(std::vector<std::string> argv, std::chrono::milliseconds ready_timeout) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    if (kTestStderr >= 0) ::dup2(kTestStderr, STDERR_FILENO);
    ::setpgid(0, 0);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  out_fd_ = fds[0];
  const auto deadline = std::chrono::steady_clock::now() + ready_timeout;
  for (;;) {
    const std::string line = read_line(deadline);
    if (line == "READY") break;
    std::istringstream in(line);
    std::string word, name;
    int port = 0;
    if (in >> word >> name >> port && word == "LISTENING") ports_[name] = port;
  }
}

ServerProcess::~ServerProcess() { stop(); }

void ServerProcess::stop() {
  if (pid_ > 0) {
    ::kill(-pid_, SIGTERM);
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) ::usleep(100 * 1000);
    if (::waitpid(pid_, &status, WNOHANG) == 0) {
      ::kill(-pid_, SIGKILL);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (out_fd_ >= 0) {
    read_available(std::chrono::milliseconds(0));
    ::close(out_fd_);
    out_fd_ = -1;
  }
}

std::string ServerProcess::read_line(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) throw std::runtime_error("test server did not report READY in time");
    pollfd p{out_fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[4096];
    const ssize_t n = ::read(out_fd_, chunk, sizeof chunk);
    if (n <= 0) throw std::runtime_error("test server ended before READY");
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

void ServerProcess::read_available(std::chrono::milliseconds wait) {
  int timeout = static_cast<int>(wait.count());
  while (out_fd_ >= 0) {
    pollfd p{out_fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout) <= 0) break;
    char chunk[4096];
    const ssize_t n = ::read(out_fd_, chunk, sizeof chunk);
    if (n <= 0) break;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    timeout = 0;
  }
  for (std::size_t nl; (nl = buffer_.find('\n')) != std::string::npos;) {
    log_.push_back(buffer_.substr(0, nl));
    buffer_.erase(0, nl + 1);
  }
}

const std::vector<std::string>& ServerProcess::log() {
  read_available(std::chrono::milliseconds(0));
  return log_;
}

int ServerProcess::count_log(const std::string& prefix, int expected, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    const auto& lines = log();
    const int count = static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); }));
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (count >= expected || left.count() <= 0 || out_fd_ < 0) return count;
    read_available(std::min(left, std::chrono::milliseconds(50)));
  }
}

int ServerProcess::port(const std::string& name) const {
  const auto it = ports_.find(name);
  if (it == ports_.end()) throw std::runtime_error("test server reported no port named " + name);
  return it->second;
}

std::string ServerProcess::address(const std::string& name) const { return "127.0.0.1:" + std::to_string(port(name)); }

std::string python() { return QOR_TEST_PYTHON; }
std::string tools_dir() { return QOR_TEST_SOURCE_DIR "/tools"; }

std::unique_ptr<ServerProcess> start_ftp_server(const std::string& root, const std::string& user,
                                                const std::string& password, const std::vector<std::string>& options) {
  std::vector<std::string> argv{python(), tools_dir() + "/ftp_server.py", "--root", root, "--user", user, "--password",
                                password};
  argv.insert(argv.end(), options.begin(), options.end());
  return std::make_unique<ServerProcess>(std::move(argv));
}

UpdateServerProcess::UpdateServerProcess(const std::string& catalogue_json, std::vector<std::string> extra_args,
                                         const std::map<std::string, std::string>& files) {
  write_file(root_ / "catalogue.json", catalogue_json);
  for (const auto& [name, content] : files) write_file(root_ / name, content);
  std::vector<std::string> argv = {python(),     tools_dir() + "/update_server.py", "--root",
                                   root_.path(), "--ftp-login-fail-delay",          "0"};
  argv.insert(argv.end(), extra_args.begin(), extra_args.end());
  process_ = std::make_unique<ServerProcess>(std::move(argv));
}

std::vector<std::string> UpdateServerProcess::requests() {
  std::vector<std::string> lines;
  const auto& log = process_->log();
  for (; requests_seen_ < log.size(); ++requests_seen_) {
    if (log[requests_seen_].starts_with("REQUEST ")) lines.push_back(log[requests_seen_].substr(8));
  }
  return lines;
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

std::string request_line(const std::string& query) { return "GET " + kQueryScript + "?" + query + " HTTP/1.1"; }

}  // namespace qor::test
