#include "tests/support/server_process.hpp"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace qor::test {

ServerProcess::ServerProcess(const std::vector<std::string>& argv, std::chrono::milliseconds ready_timeout)
    : channel_(argv) {
  const auto deadline = std::chrono::steady_clock::now() + ready_timeout;
  for (;;) {
    const std::string line = read_line(deadline);
    if (line == "READY") break;
    if (line.starts_with("ERROR")) throw std::runtime_error("test server: " + line);
    std::istringstream in(line);
    std::string word, name;
    int port = 0;
    if (in >> word >> name >> port && word == "LISTENING") ports_[name] = port;
  }
}

ServerProcess::~ServerProcess() { stop(); }

void ServerProcess::stop() {
  channel_.stop();
  read_available(std::chrono::milliseconds(0));
  open_ = false;
}

std::string ServerProcess::read_line(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) throw std::runtime_error("test server did not report READY in time");
    if (!channel_.read(buffer_, left)) throw std::runtime_error("test server ended before READY");
  }
}

void ServerProcess::read_available(std::chrono::milliseconds wait) {
  std::chrono::milliseconds timeout = wait;
  for (std::size_t before = buffer_.size(); open_; before = buffer_.size()) {
    open_ = channel_.read(buffer_, timeout);
    if (buffer_.size() == before) break;
    timeout = std::chrono::milliseconds(0);
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
    if (count >= expected || left.count() <= 0 || !open_) return count;
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

std::string request_line(const std::string& query) { return "GET " + kQueryScript + "?" + query + " HTTP/1.1"; }

}  // namespace qor::test
