// One HTTP GET against tools/update_server.py on 127.0.0.1, whichever
// implementation: the body's bytes as they arrived, every query to the
// server itself, failures by status and broken answers that say why,
// redirects, the system's proxy, and the limits that keep a query from
// holding the window.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/http_fetch.hpp"
#include "portable/app_title.hpp"
#include "tests/platform/contract/transfer_fixture.hpp"
#include "tests/support/files.hpp"
#include "tests/support/server_process.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;

const std::string kCheck = kQueryScript + "?art=check&was=ab";

// A published folder with a catalogue and the update server on it; the
// catalogue is read again for every request.
struct UpdateServer {
  TempDir root;
  std::unique_ptr<ServerProcess> server;
  explicit UpdateServer(const std::string& catalogue, const std::vector<std::string>& options = {}) {
    write_catalogue(catalogue);
    std::vector<std::string> argv = {python(), tools_dir() + "/update_server.py", "--root", root.path(), "--no-ftp"};
    argv.insert(argv.end(), options.begin(), options.end());
    server = std::make_unique<ServerProcess>(std::move(argv));
  }
  void write_catalogue(const std::string& catalogue) const { write_file(root / "catalogue.json", catalogue); }
  std::string url(const std::string& path = kCheck) const { return "http://" + server->address("http") + path; }
  // The log lines that start with `prefix`, once `expected` have come (or
  // after a while, if they do not).
  int count_log(const std::string& prefix, int expected) { return server->count_log(prefix, expected); }
  int requests(int expected) { return count_log("REQUEST ", expected); }
  // Every request line ("GET /... HTTP/1.1") so far.
  std::vector<std::string> request_lines() {
    std::vector<std::string> lines;
    for (const auto& line : server->log())
      if (line.starts_with("REQUEST ")) lines.push_back(line.substr(8));
    return lines;
  }
};

FetchLimits quick_limits() {
  FetchLimits limits;
  limits.connect_timeout = 5s;
  limits.stall_time = 5s;
  limits.total_time = 30s;
  return limits;
}

// Windows-1252, a byte-order mark, NUL and line ends among random bytes:
// reading them as text is the caller's part.
TEST(HttpFetch, TheBodyArrivesByteForByte) {
  std::string bytes = pattern_bytes(200'000);
  const std::string head(
      "\xEF\xBB\xBFlab6_0|Gr\xFC\xDF"
      "e\r\n\x80\x00\xFF\xFE|=\n",
      22);
  bytes.replace(0, head.size(), head);
  UpdateServer update(R"({"answers": {"check": "body.bin"}})");
  write_file(update.root / "body.bin", bytes);
  const auto body = http_fetch(update.url(), quick_limits());
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_TRUE(*body == bytes) << "the body differs";
  EXPECT_EQ(update.request_lines(), std::vector<std::string>{"GET " + kCheck + " HTTP/1.1"});
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

// An error page is no answer: the failure carries the status as its code
// and names the address asked.
TEST(HttpFetch, AStatusOf400OrMoreIsAFailureNamingIt) {
  UpdateServer update(R"({"check": "never", "faults": {"check": "status:503"}})", {"--fail", "caption=status:500"});
  const auto failed = http_fetch(update.url(), quick_limits());
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.failure().code, 503);
  EXPECT_NE(failed.failure().reason.find("HTTP status 503"), std::string::npos) << failed.failure().reason;
  EXPECT_NE(failed.failure().reason.find(update.url()), std::string::npos) << failed.failure().reason;

  const std::string caption = update.url(kQueryScript + "?art=caption&was=de");
  const auto server_error = http_fetch(caption, quick_limits());
  ASSERT_FALSE(server_error);
  EXPECT_EQ(server_error.failure().code, 500);
  EXPECT_NE(server_error.failure().reason.find("HTTP status 500"), std::string::npos) << server_error.failure().reason;
  EXPECT_NE(server_error.failure().reason.find(caption), std::string::npos) << server_error.failure().reason;

  const std::string nowhere = update.url("/no_such_script.php");
  const auto missing = http_fetch(nowhere, quick_limits());
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().code, 404);
  EXPECT_NE(missing.failure().reason.find("HTTP status 404"), std::string::npos) << missing.failure().reason;
  EXPECT_NE(missing.failure().reason.find(nowhere), std::string::npos) << missing.failure().reason;
}

TEST(HttpFetch, FollowsUpToFiveRedirectsOnHttpOnly) {
  UpdateServer once(R"({"check": "arrived", "faults": {"check": "redirect:)" + kCheck + R"(@1"}})");
  const auto followed = http_fetch(once.url(), quick_limits());
  ASSERT_TRUE(followed) << followed.failure().reason;
  EXPECT_EQ(*followed, "arrived");

  UpdateServer loop(R"({"faults": {"check": "redirect:)" + kCheck + R"("}})");
  const auto endless = http_fetch(loop.url(), quick_limits());
  ASSERT_FALSE(endless);
  EXPECT_NE(endless.failure().reason.find(words("Maximum (5) redirects followed", "more than 5 redirects")),
            std::string::npos)
      << endless.failure().reason;
  EXPECT_EQ(loop.requests(6), 6);

  // libcurl is allowed http alone and names the scheme it refused; a file
  // address is refused before that.
  struct Away {
    const char* address;
    const char* curl_says;
  };
  for (const Away& away : {Away{"https://127.0.0.1:1/x", "Protocol \"https\" not supported"},
                           Away{"ftp://127.0.0.1:1/x", "Protocol \"ftp\" not supported"},
                           Away{"file:///C:/windows/win.ini", "Bad file:// URL"}}) {
    SCOPED_TRACE(away.address);
    UpdateServer server(std::string(R"({"faults": {"check": "redirect:)") + away.address + R"("}})");
    const auto refused = http_fetch(server.url(), quick_limits());
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.failure().reason.find(words(away.curl_says, "no http address")), std::string::npos)
        << refused.failure().reason;
    EXPECT_EQ(server.requests(1), 1);
  }
  const auto not_http = http_fetch("ftp://127.0.0.1:1/x", quick_limits());
  ASSERT_FALSE(not_http);
  EXPECT_NE(not_http.failure().reason.find(words("Protocol \"ftp\" not supported", "no http address")),
            std::string::npos)
      << not_http.failure().reason;
}

TEST(HttpFetch, ABodyOverTheLimitIsRefused) {
  FetchLimits limits = quick_limits();
  limits.max_body_bytes = 13;
  UpdateServer update(R"({"check": "Bilder||Daten", "answers": {"install": "big.txt"}})");
  write_file(update.root / "big.txt", std::string(5000, 'x'));
  const auto fits = http_fetch(update.url(), limits);  // just fits
  ASSERT_TRUE(fits) << fits.failure().reason;
  EXPECT_EQ(*fits, "Bilder||Daten");
  // The length announced is too large.
  const auto big = http_fetch(update.url(kQueryScript + "?art=install"), limits);
  ASSERT_FALSE(big);
  EXPECT_NE(big.failure().reason.find("larger than 13 bytes"), std::string::npos) << big.failure().reason;

  // Without an announced length the bytes are counted as they come.
  limits.max_body_bytes = 3;
  UpdateServer endless(R"({"faults": {"check": "trickle:0.05"}})");
  const auto counted = http_fetch(endless.url(), limits);
  ASSERT_FALSE(counted);
  EXPECT_NE(counted.failure().reason.find("larger than 3 bytes"), std::string::npos) << counted.failure().reason;
}

// A byte now and then passes any stall limit; only the limit on the whole
// query ends it.
TEST(HttpFetch, AQueryThatNeverEndsIsGivenUpAtTheTotalTime) {
  FetchLimits limits = quick_limits();
  limits.stall_time = 2s;
  limits.total_time = 2s;
  UpdateServer update(R"({"faults": {"check": "trickle:0.2"}})");
  Result<std::string> failed = std::string();
  const auto took = time_of([&] { failed = http_fetch(update.url(), limits); });
  ASSERT_FALSE(failed);
  EXPECT_NE(failed.failure().reason.find(words("Operation timed out after", "no whole answer within 2 s")),
            std::string::npos)
      << failed.failure().reason;
  EXPECT_GE(took, 1500ms);  // libcurl rounds its own clock
  EXPECT_LT(took, 10s);
}

// Windows passes the time-outs set on the internet handle on to every
// request made from it. Wine passes on only the connect time-out, and its
// requests would wait for as long as the server likes: the client's own
// stall limit ends them there.
TEST(HttpFetch, AStalledServerIsGivenUpAtTheStallTime) {
  FetchLimits limits = quick_limits();
  limits.stall_time = 2s;
  UpdateServer update(R"({"faults": {"check": "stall:60"}})");
  Result<std::string> failed = std::string();
  const auto took = time_of([&] { failed = http_fetch(update.url(), limits); });
  ASSERT_FALSE(failed);
  if (on_wininet()) {
    EXPECT_TRUE(failed.failure().code == 12002 ||  // ERROR_INTERNET_TIMEOUT
                failed.failure().reason.find("nothing arrived for 2 s") != std::string::npos)
        << failed.failure().reason;
  } else {
    EXPECT_NE(failed.failure().reason.find("Less than 1 bytes/sec transferred the last 2 seconds"), std::string::npos)
        << failed.failure().reason;
  }
  EXPECT_LT(took, 10s) << "the server's stall, not the client's limit, ended the query";
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

// A query goes the way the system is set up to reach the internet, through
// its proxy; the loopback, which a proxy in front of the machine could only
// get wrong, is always reached directly.
TEST(HttpFetch, TheSystemsProxyCarriesQueriesExceptToTheLoopback) {
  UpdateServer proxy(R"({"check": "through the proxy"})");
  const SystemProxy configured(proxy.server->address("http"));
  // A name that resolves nowhere: only the proxy can answer for it.
  const auto proxied = http_fetch("http://updates.qor-sync.invalid" + kCheck, quick_limits());
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

TEST(HttpFetch, ShortOrMissingAnswersAreFailuresNamingTheUrl) {
  UpdateServer cut(R"({"check": "a whole answer of some length", "faults": {"check": "cut:5"}})");
  const auto short_body = http_fetch(cut.url(), quick_limits());
  ASSERT_FALSE(short_body);
  EXPECT_NE(
      short_body.failure().reason.find(words("transfer closed with 24 bytes remaining", "received 5 of 29 bytes")),
      std::string::npos)
      << short_body.failure().reason;
  EXPECT_NE(short_body.failure().reason.find(cut.url()), std::string::npos) << short_body.failure().reason;
  // libcurl's failure carries its code; WinINet's implementation finds these
  // itself and gives the reason alone.
  if (!on_wininet()) {
    EXPECT_NE(short_body.failure().code, 0);
  }

  UpdateServer closed(R"({"faults": {"check": "close"}})");
  const auto nothing = http_fetch(closed.url(), quick_limits());
  ASSERT_FALSE(nothing);
  EXPECT_NE(nothing.failure().reason.find(closed.url()), std::string::npos) << nothing.failure().reason;
  if (!on_wininet()) {
    EXPECT_NE(nothing.failure().code, 0);
  }
}

TEST(HttpFetch, NoServerIsAFailureWithTheSystemsWords) {
  const std::string url = "http://127.0.0.1:" + std::to_string(closed_port()) + kQueryScript;
  const auto failed = http_fetch(url, quick_limits());
  ASSERT_FALSE(failed);
  EXPECT_NE(failed.failure().reason.find("GET " + url), std::string::npos) << failed.failure().reason;
  EXPECT_NE(failed.failure().code, 0);
  // The code is the platform's own.
  if (on_wininet()) {
    EXPECT_EQ(failed.failure().code, 12029) << failed.failure().reason;  // ERROR_INTERNET_CANNOT_CONNECT
  }
}

// The user retries once the server is back: nothing of the failed attempt
// stands in the way.
TEST(HttpFetch, AServerBackAfterAFailureIsReachedAgain) {
  const int port = closed_port();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + kCheck;
  ASSERT_FALSE(http_fetch(url, quick_limits()));
  UpdateServer back(R"({"check": "ok"})", {"--http-port", std::to_string(port)});
  const auto body = http_fetch(url, quick_limits());
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_EQ(*body, "ok");
}

}  // namespace
}  // namespace qor::test
