// A query the server accepts and never answers: the client gives up at its
// own stall limit and asks the user, instead of waiting for ever.
#include "tests/faults/fault_test.hpp"

namespace qor::faults {
namespace {

TEST_F(FaultTest, AStalledQueryEndsAtTheStallLimitWithTheQuestion) {
  start({"--fail", "install=stall:120"});
  click_through();
  ASSERT_EQ(run->host.messages.size(), 1u);
  EXPECT_TRUE(is_query_failure(run->host.messages[0], "install")) << run->host.messages[0].text;
  EXPECT_FALSE(exists("a.dll"));
  // Thirty seconds without a byte is the limit; the margin is for a loaded machine.
  expect_sound_end(std::chrono::seconds(45));
}

}  // namespace
}  // namespace qor::faults
