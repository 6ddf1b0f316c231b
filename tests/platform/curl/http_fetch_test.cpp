// One GET against the update server of tools/: the body's bytes as they
// arrived, an error page or a broken answer as a failure that says why, and
// the limits that keep a query from holding the window.
#include <gtest/gtest.h>

#include <chrono>

#include "platform/http_fetch.hpp"
#include "portable/app_title.hpp"
#include "tests/support/files.hpp"
#include "tests/support/scoped_env.hpp"
#include "tests/support/server_process.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;

const std::string kCatalogue = R"({"new": ["Bilder", "Daten"], "install": ["fn=a.exe|ve=1.0.0.0"]})";

std::string url(const UpdateServerProcess& server, const std::string& query) {
  return "http://" + server.address() + kQueryScript + "?" + query;
}

template <class F>
std::chrono::steady_clock::duration time_of(F&& f) {
  const auto started = std::chrono::steady_clock::now();
  f();
  return std::chrono::steady_clock::now() - started;
}

TEST(HttpFetch, TheBodyComesAsItsBytes) {
  TempDir files;
  // Windows-1252 and a byte-order mark: reading them as text is the caller's part.
  // The literal's own length, NUL and all: a string built from the pointer
  // alone would end at the NUL.
  constexpr char kRaw[] =
      "\xEF\xBB\xBFlab6_0|Gr\xFC\xDF"
      "e\r\n\x80\x00end";
  write_file(files / "caption.bin", std::string(kRaw, sizeof kRaw - 1));
  UpdateServerProcess server(kCatalogue, {"--answer", "caption=" + (files / "caption.bin")});
  const auto body = http_fetch(url(server, "art=caption&was=de"), {});
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_EQ(*body, read_file(files / "caption.bin"));
  EXPECT_EQ(server.requests(), std::vector<std::string>{request_line("art=caption&was=de")});
}

TEST(HttpFetch, AFailedQueryIsNoAnswerAndNamesTheUrlAndWhatWentWrong) {
  UpdateServerProcess server(kCatalogue, {"--fail", "caption=status:500", "--fail", "install=close", "--fail",
                                          "update=status:404", "--fail", "new=cut:3"});
  struct Case {
    std::string query, says;
  };
  for (const Case& c : {Case{"art=caption&was=de", "HTTP status 500"}, Case{"art=update", "HTTP status 404"},
                        Case{"art=install", ""}, Case{"art=new", ""}}) {
    SCOPED_TRACE(c.query);
    const auto body = http_fetch(url(server, c.query), {});
    ASSERT_FALSE(body);
    EXPECT_NE(body.failure().reason.find(url(server, c.query)), std::string::npos) << body.failure().reason;
    EXPECT_NE(body.failure().reason.find(c.says), std::string::npos) << body.failure().reason;
    EXPECT_NE(body.failure().code, 0);
  }
  const std::string address = server.address();
  server.stop();
  const auto gone = http_fetch("http://" + address + kQueryScript + "?art=new", {});
  ASSERT_FALSE(gone);
  EXPECT_NE(gone.failure().reason.find(address), std::string::npos) << gone.failure().reason;
}

TEST(HttpFetch, AnAnswerAboveTheSizeLimitIsRefused) {
  UpdateServerProcess server(kCatalogue);
  FetchLimits tiny;
  tiny.max_body_bytes = 13;
  EXPECT_TRUE(http_fetch(url(server, "art=new"), tiny));  // "Bilder||Daten": just fits
  const auto refused = http_fetch(url(server, "art=install"), tiny);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.failure().reason.find("larger than 13 bytes"), std::string::npos) << refused.failure().reason;
}

TEST(HttpFetch, TheLoopbackIsNeverReachedThroughAProxy) {
  UpdateServerProcess server(kCatalogue);
  const ScopedEnv proxy("http_proxy", "http://127.0.0.1:9");  // nothing listens on port 9
  const ScopedEnv no_proxy("no_proxy", std::nullopt);
  EXPECT_TRUE(http_fetch(url(server, "art=new"), {}));
}

// Some hosting refuses a request that names no client.
TEST(HttpFetch, EveryQueryNamesTheClientAndItsVersion) {
  UpdateServerProcess server(kCatalogue, {"--require-agent"});
  const auto body = http_fetch(url(server, "art=new"), {});
  ASSERT_TRUE(body) << body.failure().reason;
  EXPECT_EQ(*body, "Bilder||Daten");
  EXPECT_EQ(server.process().count_log("AGENT " + std::string(kApplicationTitle) + "/" + kApplicationVersion, 1), 1);
}

TEST(HttpFetch, AnAnswerThatStallsEndsAtTheStallTime) {
  UpdateServerProcess server(kCatalogue, {"--fail", "install=stall:60"});
  FetchLimits quick;
  quick.stall_time = 1s;
  Result<std::string> body = std::string();
  const auto took = time_of([&] { body = http_fetch(url(server, "art=install"), quick); });
  EXPECT_FALSE(body);
  EXPECT_LT(took, 10s);
}

// A byte every half second passes any stall limit; only the limit on the
// whole query ends it.
TEST(HttpFetch, AnAnswerTrickledWithoutEndEndsAtTheTotalTime) {
  UpdateServerProcess server(kCatalogue, {"--fail", "install=trickle:0.5"});
  FetchLimits limits;
  limits.stall_time = 2s;
  limits.total_time = 4s;
  Result<std::string> body = std::string();
  const auto took = time_of([&] { body = http_fetch(url(server, "art=install"), limits); });
  EXPECT_FALSE(body);
  EXPECT_GE(took, 3500ms);  // libcurl rounds its own clock
  EXPECT_LT(took, 12s);
}

}  // namespace
}  // namespace qor::test
