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

// The options of the run without a window: what each sets, what it needs,
// and what a window must not silently take and ignore.
TEST(CommandLine, UnattendedOptions) {
  std::string error;
  auto line = parse_command_line({"--unattended", "--language=en", "--no-start", "--no-shortcut", "--log", "/var/log/q",
                                  "--update-server", "10.0.0.2:81"},
                                 "localhost", error);
  ASSERT_TRUE(line) << error;
  EXPECT_TRUE(line->unattended);
  EXPECT_FALSE(line->check);
  EXPECT_EQ(line->language, "en");
  EXPECT_TRUE(line->no_start);
  EXPECT_TRUE(line->no_shortcut);
  EXPECT_EQ(line->log_file, "/var/log/q");
  EXPECT_EQ(line->update_server, "10.0.0.2:81");

  // A check is a run without a window, and shows no captions: it needs no language.
  line = parse_command_line({"--check", "--log=C:\\logs\\qor.log"}, "localhost", error);
  ASSERT_TRUE(line) << error;
  EXPECT_TRUE(line->unattended);
  EXPECT_TRUE(line->check);
  EXPECT_EQ(line->language, "de");
  EXPECT_EQ(line->log_file, "C:\\logs\\qor.log");

  // The window takes none of them.
  line = parse_command_line({"--update-server", "host"}, "localhost", error);
  ASSERT_TRUE(line);
  EXPECT_FALSE(line->unattended);
  EXPECT_FALSE(line->no_start);

  EXPECT_TRUE(asks_for_unattended({"--update-server", "h", "--check"}));
  EXPECT_TRUE(asks_for_unattended({"--unattended"}));
  EXPECT_FALSE(asks_for_unattended({"--update-server", "--unattendedx"}));

  for (const std::vector<std::string>& bad : {
           std::vector<std::string>{"--unattended"},        // which flag to click?
           {"--unattended", "--language", "fr"},            // no such flag
           {"--unattended", "--language"},                  // value missing
           {"--unattended", "--language", "de", "--log"},   // value missing
           {"--unattended", "--language", "de", "--log="},  // empty file name
           {"--no-start"},                                  // a window would ignore it
           {"--language", "de"},                            // likewise
           {"--log", "x.log", "--update-server", "h"},      // likewise
           {"--check", "--verbose"},                        // unknown
       }) {
    error.clear();
    EXPECT_FALSE(parse_command_line(bad, "localhost", error)) << bad.size();
    EXPECT_FALSE(error.empty());
  }
  const std::string usage = usage_text("QOR_sync_PRO", "localhost");
  for (const char* option :
       {"--unattended", "--language de|en", "--no-start", "--no-shortcut", "--check", "--log FILE"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace qor
