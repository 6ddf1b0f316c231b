// The two query operations and the internet check against the real server.
#include <gtest/gtest.h>

#include <cstdlib>

#include "QOR_sync_ftp_MOD.hpp"
#include "app_title.hpp"
#include "http_fetch.hpp"
#include "http_query.hpp"
#include "server_fixture.hpp"

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

std::string request_line(const std::string& query) { return "GET " + kScript + "?" + query + " HTTP/1.1"; }

TEST(HttpQuery, EachQuerySendsExactlyItsRequestAndReturnsTheBody) {
  UpdateServer server(kCatalogue);
  Window w;
  const std::string ftp = "127.0.0.1:" + std::to_string(server.ftp_port());
  const std::pair<std::string, std::string> queries[] = {
      {"art=check&was=ab", "ok"},
      {"art=caption&was=de", "lab6_0|Aktualisierung"},
      {"art=caption&was=en", "lab6_0|Update"},
      {"art=sw_update", "se=" + ftp + "|fo=/pub|us=anon|pa=pw"},
      {"art=new", "Bilder"},
      {"art=install", "id=1|fn=a.exe|ve=1.0|pa=|ar=exe|ja=1|st=0"},
      {"art=update", "mainprogram=app.exe||id=2|fn=b.dll|ve=2.0|pa=|ar=dll|ja=1|st=0"},
  };
  for (const auto& [query, body] : queries) {
    SCOPED_TRACE(query);
    EXPECT_EQ(http_get_text(*w.form, query_url(server.address(), query)), body);
    EXPECT_EQ(server.requests(), std::vector<std::string>{request_line(query)});
  }
  EXPECT_TRUE(w.host.messages.empty());
}

TEST(HttpQuery, FailuresAreFailuresNotAnswers) {
  UpdateServer server(kCatalogue,
                      {"--fail", "new=status:500", "--fail", "install=close", "--fail", "update=status:404"});
  for (const std::string query : {"art=new", "art=install", "art=update"}) {
    SCOPED_TRACE(query);
    const FetchResult result = http_fetch(query_url(server.address(), query));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(http_get_text_or_empty(query_url(server.address(), query)), "");
  }
  EXPECT_NE(http_fetch(query_url(server.address(), "art=new")).error.find("500"), std::string::npos);
}

TEST(HttpQuery, AStalledAnswerEndsAtTheLowSpeedLimit) {
  UpdateServer server(kCatalogue, {"--fail", "install=stall:60"});
  FetchLimits quick;
  quick.low_speed_time_s = 1;
  const FetchResult result = http_fetch(query_url(server.address(), "art=install"), quick);
  EXPECT_FALSE(result.ok);
}

TEST(HttpQuery, TheLoopbackIsNeverReachedThroughAProxy) {
  UpdateServer server(kCatalogue);
  struct ProxyEnvironment {
    ProxyEnvironment() { setenv("http_proxy", "http://127.0.0.1:9", 1); }  // nothing listens on port 9
    ~ProxyEnvironment() { unsetenv("http_proxy"); }
  } proxy;
  EXPECT_TRUE(http_fetch(query_url(server.address(), "art=new")).ok);
}

TEST(HttpQuery, AnAnswerAboveTheSizeLimitIsRefused) {
  UpdateServer server(kCatalogue);
  FetchLimits tiny;
  tiny.max_body_bytes = 8;
  EXPECT_FALSE(http_fetch(query_url(server.address(), "art=install"), tiny).ok);
  EXPECT_TRUE(http_fetch(query_url(server.address(), "art=new"), tiny).ok);
}

TEST(HttpQuery, AFailedQueryAsksRetryOrCancel) {
  UpdateServer server(kCatalogue, {"--fail", "install=status:503@1", "--fail", "new=close"});
  Window w;
  w.host.answers = {MsgResult::Retry};
  EXPECT_EQ(http_get_text(*w.form, query_url(server.address(), "art=install")),
            "id=1|fn=a.exe|ve=1.0|pa=|ar=exe|ja=1|st=0");
  ASSERT_EQ(w.host.messages.size(), 1u);
  const Message& m = w.host.messages[0];
  EXPECT_EQ(m.buttons, MsgButtons::RetryCancel);
  EXPECT_EQ(m.caption, kApplicationTitle);
  EXPECT_NE(m.text.find("Anfrage an den Update-Server ist fehlgeschlagen (art=install)"), std::string::npos);
  EXPECT_NE(m.text.find("request to the update server failed (art=install)"), std::string::npos);
  EXPECT_EQ(server.requests(), (std::vector<std::string>{request_line("art=install"), request_line("art=install")}));

  w.host.answers = {MsgResult::Retry, MsgResult::Cancel};
  EXPECT_THROW(http_get_text(*w.form, query_url(server.address(), "art=new")), StepAborted);
  EXPECT_EQ(w.host.messages.size(), 3u);
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST(HttpQuery, Windows1252AnswersAreReadAsSuch) {
  TempDir files;
  write_file(files / "caption.bin",
             "lab6_0|Gr\xFC\xDF"
             "e \x80");
  UpdateServer server(kCatalogue, {"--answer", "caption=" + (files / "caption.bin")});
  EXPECT_EQ(http_get_text_or_empty(query_url(server.address(), "art=caption&was=de")),
            "lab6_0|Gr\xC3\xBC\xC3\x9F"
            "e \xE2\x82\xAC");
}

TEST(CheckInternet, OnlyExactlyOkIsOnline) {
  UpdateServer server(kCatalogue);
  EXPECT_TRUE(check_internet(server.address()));
  EXPECT_EQ(server.requests(), std::vector<std::string>{request_line("art=check&was=ab")});
  for (const std::string answer : {"OK", "ok ", "ok\\n", " ok", ""}) {
    SCOPED_TRACE(answer);
    write_file(server.root() + "/catalogue.json", R"({"check": ")" + answer + R"("})");
    EXPECT_FALSE(check_internet(server.address()));
  }
}

TEST(CheckInternet, NoServerIsOffline) {
  UpdateServer server(R"({"faults": {"check": {"mode": "status", "status": 500, "body": "ok"}}})");
  EXPECT_FALSE(check_internet(server.address()));  // an error page is no answer, even one saying "ok"
  const std::string address = server.address();
  server.stop();
  EXPECT_FALSE(check_internet(address));
}

}  // namespace
}  // namespace qor::test
