// ftp_get_file against a real FTP server: replacing files, and failures that
// show one message, leave the old file and say on standard error which file
// failed and why.
#include <sys/stat.h>

#include <filesystem>

#include "ftp/ftp_steps.hpp"
#include "portable/app_title.hpp"
#include "tests/ftp/ftp_fixture.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor::test {
namespace {

using Items = std::vector<std::string>;

std::string pattern_bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919) >> 3);
  return s;
}

TEST_F(FtpTest, DownloadReplacesTheLocalFileKeepsItsModeAndFetchesAgain) {
  write_file(root / "app.exe", "version 2");
  start_server();
  connect_ftp(host, {});
  write_file(local("app.exe"), "version 1, longer than the new one");
  chmod(local("app.exe").c_str(), 0750);
  EXPECT_EQ(fetch("app.exe"), FetchOutcome::Placed);
  EXPECT_EQ(read_file(local("app.exe")), "version 2");
  EXPECT_EQ(mode_of(local("app.exe")), 0750u);
  write_file(root / "app.exe", "version 3");
  EXPECT_EQ(fetch("app.exe"), FetchOutcome::Placed);
  EXPECT_EQ(read_file(local("app.exe")), "version 3");
  EXPECT_EQ(server->count_log("RETR app.exe", 2), 2);
  EXPECT_EQ(server->count_log("LOGIN", 1), 1) << "the downloads use the connection of connect_ftp";
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(file_names(target.path()), Items{"app.exe"});
}

TEST_F(FtpTest, EveryFailureShowsTheMessageWritesOneLineNamingTheFileAndCreatesNoFile) {
  std::filesystem::create_directory(root / "sub");
  write_file(root / "sub/deep.dll", "deep");
  write_file(root / "top.dll", "top");
  write_file(target.path() + "/../outside.dll", "keep");
  start_server();
  connect_ftp(host, {});
  const std::string missing_folder = target / "no such folder";
  struct Case {
    std::string name, folder;
  };
  for (const Case& c : std::vector<Case>{{"missing.dll", target.path()},
                                         {"deep.dll", target.path()},
                                         {"sub/deep.dll", target.path()},
                                         {"../outside.dll", target.path()},
                                         {"..", target.path()},
                                         {"", target.path()},
                                         {"top.dll", missing_folder}}) {
    SCOPED_TRACE("'" + c.name + "' into " + c.folder);
    host.messages.clear();
    const StderrCapture errors;
    EXPECT_EQ(fetch(c.name, c.folder), FetchOutcome::Failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, kTransferFailed);
    EXPECT_EQ(host.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(host.messages[0].caption, kApplicationTitle);
    const auto reasons = errors.failure_lines();
    ASSERT_EQ(reasons.size(), 1u) << errors.text();
    EXPECT_TRUE(reasons[0].starts_with("QOR_sync_PRO: transfer of " + c.name + ": ")) << reasons[0];
  }
  EXPECT_TRUE(file_names(target.path()).empty());
  EXPECT_EQ(read_file(target.path() + "/../outside.dll"), "keep");
  std::filesystem::remove(target.path() + "/../outside.dll");
}

TEST_F(FtpTest, AWriteProtectedLocalFileIsNotReplacedAndTheReasonSaysSo) {
  write_file(root / "top.dll", "top");
  start_server();
  connect_ftp(host, {});
  write_file(local("top.dll"), "protected");
  chmod(local("top.dll").c_str(), 0444);
  const StderrCapture errors;
  EXPECT_EQ(fetch("top.dll"), FetchOutcome::Failed);
  EXPECT_EQ(host.texts(), Items{kTransferFailed});
  EXPECT_EQ(read_file(local("top.dll")), "protected");
  EXPECT_EQ(errors.failure_lines(),
            Items{"QOR_sync_PRO: transfer of top.dll: replace " + local("top.dll") + ": the file is write-protected"});
}

TEST_F(FtpTest, WithoutAConnectionEveryDownloadFails) {
  write_file(root / "top.dll", "top");
  start_server();
  EXPECT_EQ(fetch("top.dll"), FetchOutcome::Failed);
  shared_variables().mod.ftp_password = "wrong";
  connect_ftp(host, {});
  host.messages.clear();
  EXPECT_EQ(fetch("top.dll"), FetchOutcome::Failed);
  EXPECT_EQ(host.texts(), Items{kTransferFailed});
  EXPECT_TRUE(file_names(target.path()).empty());
}

// A transfer broken off midway, answered as an abort (426) or as if it were
// complete (226 with a short file), or going on past the size announced, or
// without end: the old file stays, nothing else is left.
TEST_F(FtpTest, BrokenTransferLeavesTheOldFileExactlyAsItWas) {
  write_file(root / "data.db3", pattern_bytes(1'000'000));
  for (const std::vector<std::string>& fault :
       {std::vector<std::string>{"--abort-after", "300000"}, std::vector<std::string>{"--truncate-after", "300000"},
        std::vector<std::string>{"--longer-download", "300000"}, std::vector<std::string>{"--endless-download"}}) {
    SCOPED_TRACE(fault.front());
    start_server(fault);
    connect_ftp(host, {});
    write_file(local("data.db3"), "the old database");
    chmod(local("data.db3").c_str(), 0600);
    host.messages.clear();
    {
      const StderrCapture errors;
      EXPECT_EQ(fetch("data.db3"), FetchOutcome::Failed);
      EXPECT_EQ(errors.failure_lines().size(), 1u) << errors.text();
    }
    EXPECT_EQ(host.texts(), Items{kTransferFailed});
    EXPECT_EQ(read_file(local("data.db3")), "the old database");
    EXPECT_EQ(mode_of(local("data.db3")), 0600u);
    EXPECT_EQ(file_names(target.path()), Items{"data.db3"});
    // A fresh file that breaks off leaves nothing at all.
    EXPECT_EQ(fetch("data.db3", target / "sub-absent"), FetchOutcome::Failed);
    std::filesystem::remove(local("data.db3"));
    EXPECT_EQ(fetch("data.db3"), FetchOutcome::Failed);
    EXPECT_TRUE(file_names(target.path()).empty());
    server.reset();
  }
}

// The window answers while a file arrives; a user who closes it ends the
// transfer: nothing is said, nothing partial stays, the old file is kept.
TEST_F(FtpTest, ClosingTheWindowDuringATransferAbandonsItAndKeepsTheOldFile) {
  write_file(root / "held.exe", pattern_bytes(1'000'000));
  start_server({"--stall-after", "200000"});
  connect_ftp(host, {});
  write_file(local("held.exe"), "the old program");
  host.on_yield = [this] {
    if (host.yields == 5) host.window_closed = true;
  };
  const StderrCapture errors;
  EXPECT_EQ(fetch("held.exe"), FetchOutcome::Abandoned);
  EXPECT_TRUE(host.messages.empty()) << host.texts().front();
  EXPECT_EQ(host.yields, 5);
  EXPECT_EQ(read_file(local("held.exe")), "the old program");
  EXPECT_EQ(file_names(target.path()), Items{"held.exe"});
  EXPECT_EQ(errors.failure_lines(), Items{"QOR_sync_PRO: transfer of held.exe: abandoned, the window was closed"});
}

// A file meant for an empty place finds the user's own there when it
// arrives: theirs is kept, the download dropped. No failure: no box, and
// the outcome tells the run not to stamp or start what it did not place.
TEST_F(FtpTest, APlaceTakenWhileTheFileArrivesKeepsTheUsersFileWithoutABox) {
  write_file(root / "qor_buch.db3", pattern_bytes(1'000'000));
  start_server();
  connect_ftp(host, {});
  host.on_yield = [this] {
    if (!std::filesystem::exists(local("qor_buch.db3"))) write_file(local("qor_buch.db3"), "the user's own");
  };
  const StderrCapture errors;
  EXPECT_EQ(fetch("qor_buch.db3", target.path(), Placement::OnlyIfAbsent), FetchOutcome::PlaceTaken);
  ASSERT_GT(host.yields, 0) << "the user had no moment to put the file there";
  EXPECT_TRUE(host.messages.empty()) << host.texts().front();
  EXPECT_TRUE(read_file(local("qor_buch.db3")) == "the user's own");
  EXPECT_EQ(file_names(target.path()), Items{"qor_buch.db3"});
  EXPECT_EQ(errors.failure_lines(), Items{"QOR_sync_PRO: transfer of qor_buch.db3: " + local("qor_buch.db3") +
                                          " appeared meanwhile and is kept"});
}

}  // namespace
}  // namespace qor::test
