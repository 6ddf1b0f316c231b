// The two query operations against the real update server: the exact
// request, the body as text, and what a failed query asks and reports.
#include <gtest/gtest.h>

#include <chrono>

#include "portable/app_title.hpp"
#include "server/http_query.hpp"
#include "tests/support/files.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/server_process.hpp"
#include "tests/support/stderr_capture.hpp"
#include "window/steps.hpp"

namespace qor::test {
namespace {

const std::string kCatalogue = R"({
  "captions": {"de": {"lab6_0": "Aktualisierung"}, "en": {"lab6_0": "Update"}},
  "settings": {"fo": "/pub", "us": "anon", "pa": "pw"},
  "new": ["Bilder"],
  "install": [{"id": 1, "fn": "a.exe", "ve": "1.0", "pa": "", "ar": "exe", "ja": 1, "st": 0}],
  "update": [{"id": 2, "fn": "b.dll", "ve": "2.0", "pa": "", "ar": "dll", "ja": 1, "st": 0}],
  "mainprogram": "app.exe"
})";

TEST(HttpQuery, EachQuerySendsExactlyItsRequestAndReturnsTheBody) {
  UpdateServerProcess server(kCatalogue);
  RecordingHost host;
  const std::pair<std::string, std::string> queries[] = {
      {"art=check&was=ab", "ok"},
      {"art=caption&was=de", "lab6_0|Aktualisierung"},
      {"art=caption&was=en", "lab6_0|Update"},
      {"art=sw_update", "se=" + server.ftp_address() + "|fo=/pub|us=anon|pa=pw"},
      {"art=new", "Bilder"},
      {"art=install", "id=1|fn=a.exe|ve=1.0|pa=|ar=exe|ja=1|st=0"},
      {"art=update", "mainprogram=app.exe||id=2|fn=b.dll|ve=2.0|pa=|ar=dll|ja=1|st=0"},
  };
  for (const auto& [query, body] : queries) {
    SCOPED_TRACE(query);
    EXPECT_EQ(http_get_text(host, query_url(server.address(), query), {}), body);
    EXPECT_EQ(server.requests(), std::vector<std::string>{request_line(query)});
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST(HttpQuery, AnswersInWindows1252AreReadAsSuchAndAByteOrderMarkIsDropped) {
  TempDir files;
  write_file(files / "caption.bin",
             "lab6_0|Gr\xFC\xDF"
             "e \x80");
  write_file(files / "new.bin",
             "\xEF\xBB\xBF"
             "Bilder");
  UpdateServerProcess server(
      kCatalogue, {"--answer", "caption=" + (files / "caption.bin"), "--answer", "new=" + (files / "new.bin")});
  EXPECT_EQ(http_get_text_or_empty(query_url(server.address(), "art=caption&was=de"), {}),
            "lab6_0|Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x82\xAC");
  EXPECT_EQ(http_get_text_or_empty(query_url(server.address(), "art=new"), {}), "Bilder");
}

TEST(HttpQuery, AFailedQueryIsTheEmptyTextAndOneLineOnStandardError) {
  UpdateServerProcess server(kCatalogue, {"--fail", "new=status:500", "--fail", "install=close"});
  for (const std::string query : {"art=new", "art=install"}) {
    SCOPED_TRACE(query);
    const StderrCapture errors;
    EXPECT_EQ(http_get_text_or_empty(query_url(server.address(), query), {}), "");
    const auto reasons = errors.failure_lines();
    ASSERT_EQ(reasons.size(), 1u) << errors.text();
    EXPECT_NE(reasons[0].find("update server query: GET " + query_url(server.address(), query)), std::string::npos)
        << reasons[0];
  }
}

TEST(HttpQuery, AFailedQueryAsksRetryOrCancel) {
  UpdateServerProcess server(kCatalogue, {"--fail", "install=status:503@1", "--fail", "new=close"});
  RecordingHost host;
  host.answers = {MsgResult::Retry};
  StderrCapture errors;
  EXPECT_EQ(http_get_text(host, query_url(server.address(), "art=install"), {}),
            "id=1|fn=a.exe|ve=1.0|pa=|ar=exe|ja=1|st=0");
  ASSERT_EQ(host.messages.size(), 1u);
  const Message& m = host.messages[0];
  EXPECT_EQ(m.buttons, MsgButtons::RetryCancel);
  EXPECT_EQ(m.caption, kApplicationTitle);
  EXPECT_NE(m.text.find("Anfrage an den Update-Server ist fehlgeschlagen (art=install)"), std::string::npos);
  EXPECT_NE(m.text.find("request to the update server failed (art=install)"), std::string::npos);
  EXPECT_NE(m.text.find("HTTP status 503"), std::string::npos) << m.text;
  EXPECT_EQ(server.requests(), (std::vector<std::string>{request_line("art=install"), request_line("art=install")}));
  ASSERT_EQ(errors.failure_lines().size(), 1u) << errors.text();
  EXPECT_NE(errors.failure_lines()[0].find("HTTP status 503"), std::string::npos);

  host.answers = {MsgResult::Retry, MsgResult::Cancel};
  try {
    http_get_text(host, query_url(server.address(), "art=new"), {});
    ADD_FAILURE() << "a cancelled query must abort its step";
  } catch (const StepAborted& aborted) {
    EXPECT_TRUE(aborted.reason.starts_with("art=new: ")) << aborted.reason;
  }
  EXPECT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(server.requests().size(), 2u);
  EXPECT_EQ(errors.failure_lines().size(), 3u) << "one line per failed attempt";
}

// A server that keeps a query waiting, by sending nothing or a byte now and
// then, holds neither the window nor the user: the window handles its events
// all the while, and closing it ends the query at once, with no message and
// no step after it.
TEST(HttpQuery, AWaitingQueryKeepsTheWindowGoingAndEndsWhenItCloses) {
  using namespace std::chrono_literals;
  using Clock = std::chrono::steady_clock;
  UpdateServerProcess server(kCatalogue, {"--fail", "install=stall:60", "--fail", "new=trickle:0.2"});
  // Limits far beyond the second the window stays open, so that only the
  // close can end the query in time.
  FetchLimits limits;
  limits.stall_time = 10s;
  limits.total_time = 15s;
  for (const std::string query : {"art=install", "art=new"}) {
    SCOPED_TRACE(query);
    RecordingHost host;
    const auto started = Clock::now();
    host.on_yield = [&] { host.window_closed = host.window_closed || Clock::now() - started > 1s; };
    const StderrCapture errors;
    bool aborted = false;
    try {
      http_get_text(host, query_url(server.address(), query), limits);
    } catch (const StepAborted&) {
      aborted = true;
    }
    const auto took = Clock::now() - started;
    EXPECT_TRUE(aborted) << "the step must not go on after the close";
    // About one look every 25 ms; far fewer would be a window that stutters.
    EXPECT_GE(host.yields, 20);
    EXPECT_TRUE(host.messages.empty()) << host.messages[0].text;
    EXPECT_LT(took, 5s) << "the close must end the query, not its limits";
    const auto reasons = errors.failure_lines();
    ASSERT_EQ(reasons.size(), 1u) << errors.text();
    EXPECT_NE(reasons[0].find("window was closed"), std::string::npos) << reasons[0];
  }
}

}  // namespace
}  // namespace qor::test
