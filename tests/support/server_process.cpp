#include "server_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qor::test {

ServerProcess::ServerProcess(std::vector<std::string> argv, std::chrono::milliseconds ready_timeout) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(fds[1], STDOUT_FILENO);
    setpgid(0, 0);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
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
    kill(-pid_, SIGTERM);
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(100 * 1000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(-pid_, SIGKILL);
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (out_fd_ >= 0) {
    close(out_fd_);
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
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[4096];
    const ssize_t n = read(out_fd_, chunk, sizeof chunk);
    if (n <= 0) throw std::runtime_error("test server ended before READY");
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::vector<std::string> ServerProcess::read_log() {
  std::vector<std::string> lines;
  if (out_fd_ < 0) return lines;
  for (;;) {
    pollfd p{out_fd_, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) break;
    char chunk[4096];
    const ssize_t n = read(out_fd_, chunk, sizeof chunk);
    if (n <= 0) break;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
  std::size_t nl;
  while ((nl = buffer_.find('\n')) != std::string::npos) {
    lines.push_back(buffer_.substr(0, nl));
    buffer_.erase(0, nl + 1);
  }
  return lines;
}

int ServerProcess::port(const std::string& name) const {
  const auto it = ports_.find(name);
  if (it == ports_.end()) throw std::runtime_error("test server reported no port named " + name);
  return it->second;
}

std::string ServerProcess::address(const std::string& name) const { return "127.0.0.1:" + std::to_string(port(name)); }

std::string python() { return QOR_TEST_PYTHON; }
std::string tools_dir() { return QOR_TEST_SOURCE_DIR "/tools"; }
std::string source_dir() { return QOR_TEST_SOURCE_DIR; }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "qor-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make read-only leftovers removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out << content;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace qor::test
