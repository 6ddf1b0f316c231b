// The internet check against the real update server: only an answer of
// exactly "ok" is online, and an offline answer is no failure to report.
#include <gtest/gtest.h>

#include <chrono>

#include "ftp/ftp_steps.hpp"
#include "tests/support/files.hpp"
#include "tests/support/server_process.hpp"

namespace qor::test {
namespace {

TEST(CheckInternet, OnlyExactlyOkIsOnline) {
  UpdateServerProcess server("{}");
  EXPECT_TRUE(check_internet(server.address(), {}));
  EXPECT_EQ(server.requests(), std::vector<std::string>{request_line("art=check&was=ab")});
  for (const std::string answer : {"OK", "ok ", "ok\\n", " ok", ""}) {
    SCOPED_TRACE(answer);
    write_file(server.root() + "/catalogue.json", R"({"check": ")" + answer + R"("})");
    EXPECT_FALSE(check_internet(server.address(), {}));
  }
}

TEST(CheckInternet, AnErrorPageOrNoServerIsOffline) {
  UpdateServerProcess server(R"({"faults": {"check": {"mode": "status", "status": 500, "body": "ok"}}})");
  EXPECT_FALSE(check_internet(server.address(), {}));  // an error page is no answer, even one saying "ok"
  const std::string address = server.address();
  server.stop();
  EXPECT_FALSE(check_internet(address, {}));
}

// The check is the first query of a run: a server that never answers it
// must not hold the window either.
TEST(CheckInternet, AStalledCheckAsksToKeepGoingAndIsOfflineWhenGivenUp) {
  using namespace std::chrono_literals;
  UpdateServerProcess server(R"({"faults": {"check": "stall:60"}})");
  const auto started = std::chrono::steady_clock::now();
  int asked = 0;
  const KeepGoing keep_going = [&] {
    ++asked;
    return std::chrono::steady_clock::now() - started < 1s;
  };
  EXPECT_FALSE(check_internet(server.address(), {}, keep_going));
  EXPECT_GE(asked, 20);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

}  // namespace
}  // namespace qor::test
