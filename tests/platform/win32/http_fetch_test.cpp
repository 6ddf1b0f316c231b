// HTTP queries through WinINet against tools/update_server.py on 127.0.0.1:
// the body's bytes, failures by status, redirects, and every limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/http_fetch.hpp"
#include "portable/app_title.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/eventually.hpp"
#include "tests/wine/support/test_server.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include <windows.h>

namespace qor {
namespace {

using namespace std::chrono_literals;
using test::TempDir;
using test::TestServer;
using test::write_file;

constexpr const char* kScript = "/php_scripts/qor_sw_setup_manager.php";
constexpr const char* kCheck = "/php_scripts/qor_sw_setup_manager.php?art=check&was=ab";

// A published folder with a catalogue and the update server on it; the
// catalogue is read again for every request.
struct UpdateServer {
  TempDir root;
  std::unique_ptr<TestServer> server;
  explicit UpdateServer(const std::string& catalogue, const std::vector<std::string>& options = {}) {
    write_catalogue(catalogue);
    std::vector<std::string> arguments = {"--root", root.path(), "--no-ftp"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    server = std::make_unique<TestServer>("update_server", arguments);
  }
  void write_catalogue(const std::string& catalogue) const { write_file(root / "catalogue.json", catalogue); }
  std::string url(const std::string& path = kCheck) const { return "http://" + server->address("http") + path; }
  // The requests the server has logged, once at least `expected` have come
  // through (or after a while, if they do not).
  int requests(int expected) { return count_log("REQUEST ", expected); }
  // The log lines that start with `prefix`, counted the same way.
  int count_log(const std::string& prefix, int expected) {
    int found = 0;
    test::eventually(
        [&] {
          for (auto& line : server->read_log()) log.push_back(std::move(line));
          found = static_cast<int>(
              std::count_if(log.begin(), log.end(), [&](const std::string& line) { return line.starts_with(prefix); }));
          return found >= expected;
        },
        10s);
    return found;
  }
  std::vector<std::string> log;
};

FetchLimits quick_limits() {
  FetchLimits limits;
  limits.connect_timeout = 5s;
  limits.stall_time = 5s;
  limits.total_time = 30s;
  return limits;
}

TEST(HttpFetch, TheBodyArrivesByteForByte) {
  std::string bytes(200'000, '\0');
  std::mt19937 random(7);
  for (char& c : bytes) c = static_cast<char>(random());
  bytes.replace(0, 8, std::string("\0\r\n\xFF\xFE|=\n", 8));
  UpdateServer update(R"({"answers": {"check": "body.bin"}})");
  write_file(update.root / "body.bin", bytes);
  const auto body = http_fetch(update.url(), quick_limits());
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_TRUE(*body == bytes) << "the body differs";
}

TEST(HttpFetch, EveryQueryGoesToTheServerNotACache) {
  UpdateServer update(R"({"check": "first"})");
  auto body = http_fetch(update.url(), quick_limits());
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_EQ(*body, "first");
  update.write_catalogue(R"({"check": "second"})");
  body = http_fetch(update.url(), quick_limits());
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_EQ(*body, "second");
  EXPECT_EQ(update.requests(2), 2);
}

// Some hosting refuses a request that names no client.
TEST(HttpFetch, EveryQueryNamesTheClientAndItsVersion) {
  UpdateServer update(R"({"check": "named"})", {"--require-agent"});
  const auto body = http_fetch(update.url(), quick_limits());
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_EQ(*body, "named");
  EXPECT_EQ(update.count_log("AGENT " + std::string(kApplicationTitle) + "/" + kApplicationVersion, 1), 1);
}

TEST(HttpFetch, AStatusOf400OrMoreIsAFailureNamingIt) {
  UpdateServer update(R"({"faults": {"check": "status:503"}})");
  const auto failed = http_fetch(update.url(), quick_limits());
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.failure().code, 503);
  EXPECT_NE(failed.failure().reason.find("HTTP status 503"), std::string::npos) << failed.failure().reason;

  const auto missing = http_fetch(update.url("/no_such_script.php"), quick_limits());
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, 404);
}

TEST(HttpFetch, FollowsUpToFiveRedirectsOnHttpOnly) {
  UpdateServer once(std::string(R"({"check": "arrived", "faults": {"check": "redirect:)") + kCheck + R"(@1"}})");
  const auto followed = http_fetch(once.url(), quick_limits());
  ASSERT_TRUE(followed) << followed.failure().reason;
  EXPECT_EQ(*followed, "arrived");

  UpdateServer loop(std::string(R"({"faults": {"check": "redirect:)") + kCheck + R"("}})");
  const auto endless = http_fetch(loop.url(), quick_limits());
  ASSERT_FALSE(endless);
  EXPECT_NE(endless.failure().reason.find("more than 5 redirects"), std::string::npos) << endless.failure().reason;
  EXPECT_EQ(loop.requests(6), 6);

  for (const char* elsewhere : {"https://127.0.0.1:1/x", "ftp://127.0.0.1:1/x", "file:///C:/windows/win.ini"}) {
    SCOPED_TRACE(elsewhere);
    UpdateServer away(std::string(R"({"faults": {"check": "redirect:)") + elsewhere + R"("}})");
    const auto refused = http_fetch(away.url(), quick_limits());
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.failure().reason.find("no http address"), std::string::npos) << refused.failure().reason;
  }
  const auto not_http = http_fetch("ftp://127.0.0.1:1/x", quick_limits());
  ASSERT_FALSE(not_http);
  EXPECT_NE(not_http.failure().reason.find("no http address"), std::string::npos);
}

TEST(HttpFetch, ABodyOverTheLimitIsRefused) {
  FetchLimits limits = quick_limits();
  limits.max_body_bytes = 1000;
  UpdateServer announced(R"({"answers": {"check": "big.txt"}})");
  write_file(announced.root / "big.txt", std::string(5000, 'x'));
  const auto big = http_fetch(announced.url(), limits);
  ASSERT_FALSE(big);
  EXPECT_NE(big.failure().reason.find("larger than 1000 bytes"), std::string::npos) << big.failure().reason;

  // Without an announced length the bytes are counted as they come.
  limits.max_body_bytes = 3;
  UpdateServer endless(R"({"faults": {"check": "trickle:0.05"}})");
  const auto counted = http_fetch(endless.url(), limits);
  ASSERT_FALSE(counted);
  EXPECT_NE(counted.failure().reason.find("larger than 3 bytes"), std::string::npos) << counted.failure().reason;
}

TEST(HttpFetch, AQueryThatNeverEndsIsGivenUpAtTheTotalTime) {
  FetchLimits limits = quick_limits();
  limits.total_time = 2s;
  UpdateServer update(R"({"faults": {"check": "trickle:0.2"}})");
  const auto failed = http_fetch(update.url(), limits);
  ASSERT_FALSE(failed);
  EXPECT_NE(failed.failure().reason.find("no whole answer within 2 s"), std::string::npos) << failed.failure().reason;
}

TEST(HttpFetch, AStalledServerIsGivenUpAtTheStallTime) {
  FetchLimits limits = quick_limits();
  limits.stall_time = 2s;
  // Windows passes the time-outs set on the internet handle on to every
  // request made from it. Wine passes on only the connect time-out, and its
  // requests would wait for as long as the server likes: the client's own
  // stall limit ends them there.
  UpdateServer update(R"({"faults": {"check": "stall:60"}})");
  const auto started = std::chrono::steady_clock::now();
  const auto failed = http_fetch(update.url(), limits);
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_FALSE(failed);
  EXPECT_TRUE(failed.failure().code == 12002 ||  // ERROR_INTERNET_TIMEOUT
              failed.failure().reason.find("nothing arrived for 2 s") != std::string::npos)
      << failed.failure().reason;
  EXPECT_LT(took, 20s) << "the server's stall, not the client's limit, ended the query";
}

// The same query, with the caller told between its looks: it is asked on
// and on while nothing arrives, and ends the moment it says no.
TEST(HttpFetch, AWaitingQueryAsksItsCallerAndEndsWhenToldTo) {
  for (const char* fault : {"stall:60", "trickle:0.2"}) {
    SCOPED_TRACE(fault);
    UpdateServer update(std::string(R"({"faults": {"check": ")") + fault + R"("}})");
    const auto started = std::chrono::steady_clock::now();
    int asked = 0;
    const KeepGoing keep_going = [&] {
      ++asked;
      return std::chrono::steady_clock::now() - started < 1s;
    };
    const auto abandoned = http_fetch(update.url(), quick_limits(), keep_going);
    ASSERT_FALSE(abandoned);
    EXPECT_EQ(abandoned.failure().code, kAbandoned) << abandoned.failure().reason;
    EXPECT_GE(asked, 20);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
  }
}

// The proxy the current user's internet settings name, for as long as the
// test runs; the settings as they were come back afterwards.
class SystemProxy {
 public:
  explicit SystemProxy(const std::string& server) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS)
      throw std::runtime_error("the internet settings cannot be opened");
    for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer", L"ProxyOverride"}) saved_.push_back(read(name));
    const DWORD enable = 1;
    const std::wstring value(server.begin(), server.end());
    RegSetValueExW(key_, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
    RegSetValueExW(key_, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegDeleteValueW(key_, L"ProxyOverride");
  }
  SystemProxy(const SystemProxy&) = delete;
  SystemProxy& operator=(const SystemProxy&) = delete;
  ~SystemProxy() {
    for (const Saved& value : saved_) {
      if (value.present)
        RegSetValueExW(key_, value.name.c_str(), 0, value.type, value.bytes.data(),
                       static_cast<DWORD>(value.bytes.size()));
      else
        RegDeleteValueW(key_, value.name.c_str());
    }
    RegCloseKey(key_);
  }

 private:
  static constexpr const wchar_t* kSettings = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  struct Saved {
    std::wstring name;
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> bytes;
  };
  Saved read(const wchar_t* name) const {
    Saved value;
    value.name = name;
    DWORD size = 0;
    if (RegQueryValueExW(key_, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.bytes.resize(size);
    value.present = RegQueryValueExW(key_, name, nullptr, &value.type, value.bytes.data(), &size) == ERROR_SUCCESS;
    value.bytes.resize(size);
    return value;
  }
  HKEY key_ = nullptr;
  std::vector<Saved> saved_;
};

// A query goes the way the system is set up to reach the internet, through
// its proxy; the loopback, which a proxy in front of the machine could only
// get wrong, is always reached directly.
TEST(HttpFetch, TheSystemsProxyCarriesQueriesExceptToTheLoopback) {
  UpdateServer proxy(R"({"check": "through the proxy"})");
  const SystemProxy configured(proxy.server->address("http"));
  // A name that resolves nowhere: only the proxy can answer for it.
  const auto proxied = http_fetch(std::string("http://updates.qor-sync.invalid") + kCheck, quick_limits());
  ASSERT_TRUE(proxied) << proxied.failure().reason;
  EXPECT_EQ(*proxied, "through the proxy");
  EXPECT_EQ(proxy.count_log("REQUEST GET http://updates.qor-sync.invalid", 1), 1);

  UpdateServer local(R"({"check": "direct"})");
  const auto direct = http_fetch(local.url(), quick_limits());
  ASSERT_TRUE(direct) << direct.failure().reason;
  EXPECT_EQ(*direct, "direct");
  EXPECT_EQ(local.requests(1), 1);
  EXPECT_EQ(proxy.requests(1), 1) << "the loopback query went through the proxy";
}

TEST(HttpFetch, ShortOrMissingAnswersAreFailures) {
  UpdateServer cut(R"({"check": "a whole answer of some length", "faults": {"check": "cut:5"}})");
  const auto short_body = http_fetch(cut.url(), quick_limits());
  ASSERT_FALSE(short_body);
  EXPECT_NE(short_body.failure().reason.find("received 5 of 29 bytes"), std::string::npos)
      << short_body.failure().reason;

  UpdateServer closed(R"({"faults": {"check": "close"}})");
  const auto nothing = http_fetch(closed.url(), quick_limits());
  ASSERT_FALSE(nothing);
  EXPECT_NE(nothing.failure().reason.find(closed.url()), std::string::npos) << nothing.failure().reason;
}

TEST(HttpFetch, NoServerIsAFailureWithTheSystemsWords) {
  const std::string url = "http://127.0.0.1:" + std::to_string(test::closed_port()) + kScript;
  const auto failed = http_fetch(url, quick_limits());
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.failure().code, 12029) << failed.failure().reason;  // ERROR_INTERNET_CANNOT_CONNECT
  EXPECT_NE(failed.failure().reason.find("GET " + url), std::string::npos) << failed.failure().reason;
}

// The user retries once the server is back: nothing of the failed attempt
// stands in the way.
TEST(HttpFetch, AServerBackAfterAFailureIsReachedAgain) {
  const int port = test::closed_port();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + kCheck;
  ASSERT_FALSE(http_fetch(url, quick_limits()));
  UpdateServer back(R"({"check": "ok"})", {"--http-port", std::to_string(port)});
  const auto body = http_fetch(url, quick_limits());
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_EQ(*body, "ok");
}

}  // namespace
}  // namespace qor
