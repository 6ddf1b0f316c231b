// Downloads after the server closed the control connection that stood idle
// while the user looked at a panel (the test server's idle_close knob): the
// transfer logs in again by itself, once, on every platform.
#include <chrono>
#include <thread>

#include "ftp/ftp_steps.hpp"
#include "tests/ftp/ftp_fixture.hpp"

namespace qor::test {
namespace {

using namespace std::chrono_literals;

TEST_F(FtpTest, DownloadsAfterTheServerClosedTheIdleConnectionLogInAgainOnce) {
  write_file(root / "a.dll", "a");
  write_file(root / "b.dll", "bb");
  // Closed after four idle seconds, with a 421 reply: long enough that the
  // new login is not closed again between the two files on a busy machine.
  start_server({"--idle-close", "4"});
  connect_ftp(host, {});
  ASSERT_EQ(server->count_log("LOGIN", 1), 1);
  std::this_thread::sleep_for(5500ms);

  EXPECT_EQ(fetch("a.dll"), FetchOutcome::Placed);
  EXPECT_EQ(fetch("b.dll"), FetchOutcome::Placed);
  EXPECT_EQ(read_file(local("a.dll")), "a");
  EXPECT_EQ(read_file(local("b.dll")), "bb");
  EXPECT_TRUE(host.messages.empty());
  // One new login serves both files.
  EXPECT_EQ(server->count_log("LOGIN", 2), 2);

  // A file the server lacks is a failure of its own, never a reason to log
  // in again.
  EXPECT_EQ(fetch("missing.dll"), FetchOutcome::Failed);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, kTransferFailed);
  EXPECT_EQ(server->count_log("LOGIN", 3, 1s), 2);
}

}  // namespace
}  // namespace qor::test
