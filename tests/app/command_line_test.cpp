// The program's command line: the server address is pasted into URLs, so
// only a host and an optional port get through.
#include <gtest/gtest.h>

#include "app/command_line.hpp"

namespace qor {
namespace {

TEST(CommandLine, ServerAddressForms) {
  for (const char* good : {"localhost", "127.0.0.1:8080", "update.example.org", "a-b_c.d:1", "[::1]:65535", "[::1]"}) {
    EXPECT_TRUE(valid_server_address(good)) << good;
  }
  for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:80x", "host/x", "host?art=x", "user@host",
                          "host name", "http://host", "[::1", "[::1]x", "host:-1", "[]"}) {
    EXPECT_FALSE(valid_server_address(bad)) << bad;
  }
}

TEST(CommandLine, Arguments) {
  std::string error;
  auto line = parse_command_line({}, "localhost", error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->update_server, "localhost");

  line = parse_command_line({"--update-server", "127.0.0.1:9000"}, "localhost", error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->update_server, "127.0.0.1:9000");
  line = parse_command_line({"--update-server=10.0.0.2"}, "localhost", error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->update_server, "10.0.0.2");
  EXPECT_TRUE(asks_for_help({"--update-server", "x", "-h"}));
  EXPECT_FALSE(asks_for_help({"--update-server", "x"}));

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--update-server"}, {"--update-server", "a/b"}, {"--verbose"}}) {
    error.clear();
    EXPECT_FALSE(parse_command_line(bad, "localhost", error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_NE(usage_text("QOR_sync_PRO", "localhost").find("--update-server HOST[:PORT]"), std::string::npos);
}

}  // namespace
}  // namespace qor
