// The update server fails a query: status 500, no answer at all, or an
// answer cut off in the middle. The user is asked Retry or Cancel, the
// chain stops at that step, and nothing the user has is touched.
#include <algorithm>

#include "tests/faults/fault_test.hpp"

namespace qor::faults {
namespace {

struct QueryFault {
  std::string query;
  std::string mode;
};

void PrintTo(const QueryFault& f, std::ostream* os) { *os << f.query << " " << f.mode; }

std::string name_of(const ::testing::TestParamInfo<QueryFault>& info) {
  std::string mode = info.param.mode.substr(0, info.param.mode.find(':'));
  return info.param.query + "_" + mode;
}

class FailedQuery : public FaultTest, public ::testing::WithParamInterface<QueryFault> {};

TEST_P(FailedQuery, AsksOnceStopsTheChainThereAndLeavesTheFilesAlone) {
  const auto& [query, mode] = GetParam();
  start({"--fail", query + "=" + mode});
  click_through();

  ASSERT_EQ(run->host.messages.size(), 1u) << run->message_texts().front();
  EXPECT_TRUE(is_query_failure(run->host.messages[0], query)) << run->host.messages[0].text;
  // Standard error names the query that failed, once.
  ASSERT_EQ(reports.size(), 1u) << testing::PrintToString(reports);
  EXPECT_NE(reports[0].find("update server query: GET "), std::string::npos) << reports[0];
  EXPECT_NE(reports[0].find("art=" + query), std::string::npos) << reports[0];
  // No query follows the one given up.
  const auto sent = requests();
  ASSERT_FALSE(sent.empty());
  EXPECT_NE(sent.back().find("art=" + query), std::string::npos) << sent.back();
  // A cut-off package list must not have been acted on.
  if (query == "install") {
    EXPECT_FALSE(exists("a.dll"));
    EXPECT_EQ(run->form->List3.ListCount(), 0);
  }
  if (query == "update") {
    EXPECT_EQ(file("big.exe"), "the old program");
  }
  expect_sound_end();
}

std::vector<QueryFault> query_faults() {
  std::vector<QueryFault> out;
  for (const char* query : {"caption", "sw_update", "new", "install", "update"})
    for (const char* mode : {"status:500", "close", "cut"}) out.push_back({query, mode});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Queries, FailedQuery, ::testing::ValuesIn(query_faults()), name_of);

TEST_F(FaultTest, AFailingCheckReadsAsOfflineWithoutAMessage) {
  for (const char* mode : {"status:500", "close", "cut"}) {
    SCOPED_TRACE(mode);
    start({"--fail", std::string("check=") + mode});
    click_through();
    EXPECT_EQ(run->message_texts(), Texts{});
    EXPECT_TRUE(run->form->Label7(7).Visible);
    EXPECT_EQ(requests().size(), 1u);
    expect_sound_end();
  }
}

TEST_F(FaultTest, RetryOfALastingFailureAsksAgainAndCancelThenStops) {
  start({"--fail", "update=cut"});
  run->host.answers = {MsgResult::Retry, MsgResult::Cancel};
  click_through();
  ASSERT_EQ(run->host.messages.size(), 2u);
  EXPECT_TRUE(is_query_failure(run->host.messages[1], "update"));
  const auto sent = requests();
  EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                          [](const std::string& r) { return r.find("art=update") != std::string::npos; }),
            2);
  EXPECT_EQ(file("a.dll"), published("a.dll"));
  EXPECT_EQ(file("big.exe"), "the old program");
  expect_sound_end();
}

TEST_F(FaultTest, RetryAfterAPassingFailureFinishesTheWholeRun) {
  start({"--fail", "install=cut@1"});
  run->host.answers = {MsgResult::Retry};
  click_through(true);
  ASSERT_EQ(run->host.messages.size(), 1u);
  EXPECT_TRUE(is_query_failure(run->host.messages[0], "install"));
  for (const char* name : {"a.dll", "Daten/kunden.db3", "Bilder/logo.jpg", "big.exe", "after.dll"})
    EXPECT_EQ(file(name), published(fs::path(name).filename().string())) << name;
  EXPECT_EQ(file(kUserDatabase), "the user's bookings");
  EXPECT_TRUE(fs::exists(sandbox.home / "Desktop/QOR_software_PRO.desktop"));
  EXPECT_EQ(run->host.unloads, 1);
  expect_sound_end();
}

// A byte every half second passes the stall limit for ever; only the limit
// on the whole query ends it. Shortened here from its five minutes through
// the program's own wiring.
TEST_F(FaultTest, AnAnswerTrickledWithoutEndIsGivenUpAtTheQueryLimit) {
  NetworkLimits limits;
  limits.http.stall_time = std::chrono::seconds(2);
  limits.http.total_time = std::chrono::seconds(4);
  start({"--fail", "install=trickle:0.5"}, limits);
  click_through();
  ASSERT_EQ(run->host.messages.size(), 1u);
  EXPECT_TRUE(is_query_failure(run->host.messages[0], "install")) << run->host.messages[0].text;
  EXPECT_FALSE(exists("a.dll"));
  EXPECT_GE(run->longest_handler(), std::chrono::milliseconds(3500));  // libcurl rounds its own clock
  expect_sound_end(std::chrono::seconds(12));
}

}  // namespace
}  // namespace qor::faults
