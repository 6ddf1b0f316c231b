// A test server started on the Linux side by the test server host
// (server_host.hpp) for a Windows test program: the first line asks for it,
// everything it prints comes back over the same connection, and closing the
// connection stops it.
#include "tests/support/server_channel.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "tests/support/win32/server_host.hpp"

namespace qor::test {
namespace {

std::string environment(const char* name) {
  char value[256];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) return {};
  return {value, n};
}

void send_all(SOCKET s, const std::string& text) {
  if (send(s, text.data(), static_cast<int>(text.size()), 0) != static_cast<int>(text.size()))
    throw std::runtime_error("the test server host does not take the request");
}

}  // namespace

WinsockUse::WinsockUse() {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("Winsock cannot be started");
}

WinsockUse::~WinsockUse() { WSACleanup(); }

unsigned long long connect_to_server_host() {
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

std::string ask_server_host(const std::string& request) {
  const WinsockUse winsock;
  const SOCKET s = connect_to_server_host();
  std::string answer;
  try {
    send_all(s, request + "\n");
    char c = 0;
    while (recv(s, &c, 1, 0) == 1 && c != '\n') answer += c;
  } catch (...) {
    closesocket(s);
    throw;
  }
  closesocket(s);
  return answer;
}

struct ServerChannel::Impl {
  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (socket != INVALID_SOCKET) closesocket(socket);
  }
  WinsockUse winsock;
  SOCKET socket = INVALID_SOCKET;
};

// The server by the name of its script; the interpreter is the host's own.
ServerChannel::ServerChannel(const std::vector<std::string>& argv) : impl_(std::make_unique<Impl>()) {
  if (argv.size() < 2) throw std::runtime_error("no test server named");
  std::string request = std::filesystem::path(argv[1]).stem().string();
  for (std::size_t i = 2; i < argv.size(); ++i) request += "\t" + argv[i];
  impl_->socket = static_cast<SOCKET>(connect_to_server_host());
  try {
    send_all(impl_->socket, request + "\n");
  } catch (...) {
    closesocket(impl_->socket);
    throw;
  }
}

ServerChannel::~ServerChannel() { stop(); }

void ServerChannel::stop() {
  if (impl_->socket == INVALID_SOCKET) return;
  // What the server printed before it stops stays readable.
  shutdown(impl_->socket, SD_SEND);
}

// The host passes a line on a moment after the server printed it, where a
// pipe has it at once: a look at what is there waits that moment.
constexpr std::chrono::milliseconds kPassingOn{30};

bool ServerChannel::read(std::string& into, std::chrono::milliseconds wait) {
  if (impl_->socket == INVALID_SOCKET) return false;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(impl_->socket, &readable);
  const auto ms = static_cast<long>(std::max(wait, kPassingOn).count());
  timeval time{ms / 1000, (ms % 1000) * 1000};
  if (select(0, &readable, nullptr, nullptr, &time) <= 0) return true;
  char chunk[4096];
  const int n = recv(impl_->socket, chunk, sizeof chunk, 0);
  if (n <= 0) {
    closesocket(impl_->socket);
    impl_->socket = INVALID_SOCKET;
    return false;
  }
  into.append(chunk, static_cast<std::size_t>(n));
  return true;
}

int closed_port() {
  const WinsockUse winsock;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  const bool bound = s != INVALID_SOCKET && bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                     getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (s != INVALID_SOCKET) closesocket(s);
  return bound ? ntohs(address.sin_port) : 1;
}

}  // namespace qor::test
