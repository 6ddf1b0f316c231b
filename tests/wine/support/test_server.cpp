#include "test_server.hpp"

#include <sstream>
#include <stdexcept>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace qor::test {
namespace {

std::string environment(const char* name) {
  char value[256];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) return {};
  return {value, n};
}

SOCKET connect_to_host() {
  const std::string host = environment("QOR_TEST_SERVERS");
  const auto colon = host.rfind(':');
  if (colon == std::string::npos)
    throw std::runtime_error("QOR_TEST_SERVERS is not set: run the test through tools/wine_test_servers.py");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(std::stoi(host.substr(colon + 1))));
  if (inet_pton(AF_INET, host.substr(0, colon).c_str(), &address.sin_addr) != 1)
    throw std::runtime_error("QOR_TEST_SERVERS holds no address: " + host);
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw std::runtime_error("no socket");
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    throw std::runtime_error("the test server host at " + host + " does not answer");
  }
  return s;
}

}  // namespace

WinsockUse::WinsockUse() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("Winsock cannot be started");
}

WinsockUse::~WinsockUse() { WSACleanup(); }

TestServer::TestServer(const std::string& name, const std::vector<std::string>& arguments,
                       std::chrono::seconds ready_timeout) {
  socket_ = connect_to_host();
  std::string request = name;
  for (const auto& argument : arguments) request += "\t" + argument;
  request += "\n";
  if (send(static_cast<SOCKET>(socket_), request.data(), static_cast<int>(request.size()), 0) !=
      static_cast<int>(request.size())) {
    closesocket(static_cast<SOCKET>(socket_));
    throw std::runtime_error("cannot ask for the test server");
  }
  const auto deadline = std::chrono::steady_clock::now() + ready_timeout;
  try {
    for (;;) {
      const std::string line = read_line(deadline);
      if (line == "READY") break;
      if (line.rfind("ERROR", 0) == 0) throw std::runtime_error(line);
      std::istringstream in(line);
      std::string word, listener;
      int port = 0;
      if (in >> word >> listener >> port && word == "LISTENING") ports_[listener] = port;
    }
  } catch (...) {
    closesocket(static_cast<SOCKET>(socket_));
    throw;
  }
}

TestServer::~TestServer() { closesocket(static_cast<SOCKET>(socket_)); }

bool TestServer::receive(int wait_ms) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(static_cast<SOCKET>(socket_), &readable);
  timeval wait{wait_ms / 1000, (wait_ms % 1000) * 1000};
  if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return false;
  char chunk[4096];
  const int n = recv(static_cast<SOCKET>(socket_), chunk, sizeof chunk, 0);
  if (n <= 0) throw std::runtime_error("the test server ended");
  buffer_.append(chunk, static_cast<std::size_t>(n));
  return true;
}

std::string TestServer::read_line(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) throw std::runtime_error("the test server did not report READY in time");
    receive(static_cast<int>(left));
  }
}

std::vector<std::string> TestServer::read_log() {
  try {
    while (receive(0)) {
    }
  } catch (const std::runtime_error&) {
    // A server that ended still leaves its lines.
  }
  std::vector<std::string> lines;
  for (auto newline = buffer_.find('\n'); newline != std::string::npos; newline = buffer_.find('\n')) {
    lines.push_back(buffer_.substr(0, newline));
    buffer_.erase(0, newline + 1);
  }
  return lines;
}

int TestServer::port(const std::string& listener) const {
  const auto it = ports_.find(listener);
  if (it == ports_.end()) throw std::runtime_error("the test server reported no port named " + listener);
  return it->second;
}

std::optional<std::string> make_symbolic_link_on_host(const std::string& target, const std::string& link) {
  const WinsockUse winsock;
  const SOCKET s = connect_to_host();
  const std::string request = "symlink\t" + target + "\t" + link + "\n";
  std::string answer;
  if (send(s, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size())) {
    char c = 0;
    while (recv(s, &c, 1, 0) == 1 && c != '\n') answer += c;
  }
  closesocket(s);
  if (answer == "DONE") return std::nullopt;
  return answer.empty() ? "the test server host did not answer" : answer;
}

int free_local_port() {
  const WinsockUse winsock;
  struct OwnedSocket {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ~OwnedSocket() {
      if (s != INVALID_SOCKET) closesocket(s);
    }
  } owned;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (owned.s == INVALID_SOCKET || bind(owned.s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(owned.s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("no free port");
  return ntohs(address.sin_port);
}

std::string TestServer::address(const std::string& listener) const {
  return "127.0.0.1:" + std::to_string(port(listener));
}

}  // namespace qor::test
