// The FTP server misbehaves: it refuses the login, breaks a transfer off,
// ends it early, stalls in the middle of a file, sends a listing or files
// without end, or is gone between two files. Each failed file is reported
// once and the file the user had stays.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ftp/ftp_steps.hpp"
#include "install/install_steps.hpp"
#include "tests/faults/fault_test.hpp"

namespace qor::faults {
namespace {

TEST_F(FaultTest, RefusedLoginIsReportedOnceThenEveryDueFileFails) {
  start({"--ftp-fault", "refuse_login"});
  click_through();
  EXPECT_EQ(run->message_texts(), (Texts{kConnectFailed, kTransferFailed, kTransferFailed, kTransferFailed,
                                         kTransferFailed, kTransferFailed}));
  // Standard error says why, once per failure: the login, then each file.
  ASSERT_EQ(reports.size(), 6u) << testing::PrintToString(reports);
  EXPECT_NE(reports[0].find("FTP connection: log in to"), std::string::npos) << reports[0];
  const char* const files[] = {"a.dll", "kunden.db3", "logo.jpg", "big.exe", "after.dll"};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_TRUE(reports[i + 1].starts_with(std::string("QOR_sync_PRO: transfer of ") + files[i] + ": "))
        << reports[i + 1];
  }
  EXPECT_FALSE(exists("a.dll"));
  expect_sound_end();
}

class BrokenTransfer : public FaultTest, public ::testing::WithParamInterface<std::string> {};

// Only big.exe is larger than the point where the server breaks off, and
// it breaks off every transfer of it: the two resumes too.
TEST_P(BrokenTransfer, OnlyTheBrokenFileFailsAndItsOldVersionStays) {
  start({"--ftp-fault", GetParam()}, quick_ftp_limits());
  click_through(true);
  EXPECT_EQ(run->message_texts(), Texts{kTransferFailed});
  ASSERT_EQ(reports.size(), 1u) << testing::PrintToString(reports);
  EXPECT_TRUE(reports[0].starts_with("QOR_sync_PRO: transfer of big.exe: ")) << reports[0];
  EXPECT_EQ(file("big.exe"), "the old program");
  EXPECT_EQ(file("Bilder/logo.jpg"), published("logo.jpg"));
  EXPECT_EQ(file("Daten/kunden.db3"), published("kunden.db3"));
  EXPECT_EQ(file("after.dll"), published("after.dll"));
  EXPECT_EQ(run->host.unloads, 1);
  // Each stall is given up after two seconds without data (and did
  // happen): the first transfer's and those of its two resumes.
  if (GetParam().starts_with("stall")) {
    EXPECT_GE(run->longest_handler(), std::chrono::seconds(6));
  }
  expect_sound_end(std::chrono::seconds(20));
}

INSTANTIATE_TEST_SUITE_P(Faults, BrokenTransfer,
                         ::testing::Values("abort_after=100000", "truncate_after=100000", "stall_after=100000"),
                         [](const auto& info) { return info.param.substr(0, info.param.find('_')); });

// The server breaks off the first two transfers of big.exe: the file goes
// on from the byte each reached, and the run ends as if nothing happened.
TEST_F(FaultTest, AFileBrokenOffTwiceArrivesWholeFromWhereItBrokeOff) {
  start({"--ftp-fault", "abort_after=1000000", "--ftp-fault", "breaks=2", "--ftp-fault", "log_commands"},
        quick_ftp_limits());
  click_through(true);
  EXPECT_EQ(run->message_texts(), Texts{});
  EXPECT_EQ(reports, Texts{});
  EXPECT_EQ(file("big.exe"), published("big.exe"));
  EXPECT_EQ(file("after.dll"), published("after.dll"));
  EXPECT_EQ(server->process().count_log("COMMAND REST ", 2), 2);
  expect_sound_end();
}

// A listing without end ends at its cap as a failed connection, said once;
// the downloads go by name over the same login, and the run goes on.
TEST_F(FaultTest, AListingWithoutEndIsAFailedConnectionAndTheRunGoesOn) {
  NetworkLimits limits = quick_ftp_limits();
  limits.ftp.max_listing_bytes = std::uint64_t{1} << 20;
  start({"--ftp-fault", "endless_listing"}, limits);
  click_through();
  EXPECT_EQ(run->message_texts(), Texts{kConnectFailed});
  ASSERT_EQ(reports.size(), 1u) << testing::PrintToString(reports);
  EXPECT_NE(reports[0].find("the listing is larger than 1048576 bytes"), std::string::npos) << reports[0];
  EXPECT_EQ(file("a.dll"), published("a.dll"));
  EXPECT_EQ(file("big.exe"), published("big.exe"));
  expect_sound_end();
}

// Every download goes on past the size announced for it: each fails once,
// and nothing the user had changes.
TEST_F(FaultTest, DownloadsWithoutEndAllFailAndChangeNothing) {
  start({"--ftp-fault", "endless_download"}, quick_ftp_limits());
  click_through();
  EXPECT_EQ(run->message_texts(), Texts(5, kTransferFailed));
  ASSERT_EQ(reports.size(), 5u) << testing::PrintToString(reports);
  EXPECT_NE(reports[0].find("a.dll: more than the 20000 bytes announced"), std::string::npos) << reports[0];
  EXPECT_EQ(file("big.exe"), "the old program");
  EXPECT_FALSE(exists("a.dll"));
  expect_sound_end();
}

// SIZE answers an absurd size for every file: the listing's sizes hold, and
// everything arrives whole.
TEST_F(FaultTest, AnAbsurdSizeAnswerIsHeldToTheListingAndEverythingArrives) {
  start({"--ftp-fault", "size_answer=1000000000000000"});
  click_through();
  EXPECT_EQ(run->message_texts(), Texts{});
  EXPECT_EQ(reports, Texts{});
  EXPECT_EQ(file("big.exe"), published("big.exe"));
  EXPECT_EQ(file("after.dll"), published("after.dll"));
  expect_sound_end();
}

// big.exe is not listed and its SIZE is refused: nobody announced its size,
// and at 3 MiB it is past the cap. The old program stays; the rest arrives.
TEST_F(FaultTest, AFileNobodyAnnouncedASizeForStopsAtTheCap) {
  NetworkLimits limits = quick_ftp_limits();
  limits.ftp.max_unannounced_bytes = std::uint64_t{1} << 20;
  start({"--ftp-fault", "unlisted=big.exe", "--ftp-fault", "refuse_size"}, limits);
  click_through();
  EXPECT_EQ(run->message_texts(), Texts{kTransferFailed});
  ASSERT_EQ(reports.size(), 1u) << testing::PrintToString(reports);
  EXPECT_NE(reports[0].find("big.exe: more than the 1048576 bytes a download without an announced size may have"),
            std::string::npos)
      << reports[0];
  EXPECT_EQ(file("big.exe"), "the old program");
  EXPECT_EQ(file("after.dll"), published("after.dll"));
  expect_sound_end();
}

// A reserve above the disk's free space: no download begins, each says
// why, and nothing the user had changes.
TEST_F(FaultTest, NoDownloadEatsIntoTheDisksReserve) {
  NetworkLimits limits;
  limits.ftp.disk_reserve_floor = std::uint64_t{1} << 62;
  start({}, limits);
  click_through();
  EXPECT_EQ(run->message_texts(), Texts(5, kTransferFailed));
  ASSERT_EQ(reports.size(), 5u) << testing::PrintToString(reports);
  for (const auto& report : reports) EXPECT_NE(report.find("the disk is down to"), std::string::npos) << report;
  EXPECT_EQ(file("big.exe"), "the old program");
  EXPECT_FALSE(exists("a.dll"));
  expect_sound_end();
}

TEST_F(FaultTest, ServerGoneBetweenTwoFilesFailsTheRestAndTheNextQuery) {
  start();
  QOR_sync_FRM& form = *run->form;
  int fetched = 0;
  form.steps.download_packages = [&] {
    download_packages(form, [&](const std::string& name, const std::string& folder, const Placing& placing,
                                PlacementRun& placements) {
      const FetchOutcome arrived = ftp_get_file(run->host, *form.file_system, name, folder, placing, placements);
      if (++fetched == 1) server->stop();
      return arrived;
    });
  };
  click_through();
  ASSERT_EQ(run->host.messages.size(), 2u);
  EXPECT_EQ(run->host.messages[0].text, kTransferFailed);
  EXPECT_TRUE(is_query_failure(run->host.messages[1], "update"));
  EXPECT_EQ(file("a.dll"), published("a.dll"));
  EXPECT_FALSE(exists("Daten/kunden.db3"));
  expect_sound_end();
}

// A socket on the loopback whose connections the kernel accepts and nobody
// ever answers: an FTP server that never sends its greeting.
class SilentListener {
 public:
  SilentListener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd_, 8) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
      return;
    port_ = ntohs(addr.sin_port);
  }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  ~SilentListener() {
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

TEST_F(FaultTest, AServerThatNeverGreetsIsGivenUpAtTheClientsLimit) {
  SilentListener silent;
  ASSERT_NE(silent.port(), 0);
  start({}, quick_ftp_limits());
  QOR_sync_FRM& form = *run->form;
  form.shared().mod.ftp_server = "127.0.0.1:" + std::to_string(silent.port());
  form.shared().mod.ftp_user = "qor";
  const test::StderrCapture errors;
  const auto started = std::chrono::steady_clock::now();
  form.Command3.Click();
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(run->message_texts(), Texts{kConnectFailed});
  EXPECT_EQ(form.shared().ftp.ftp_handle, nullptr);
  EXPECT_LT(took, std::chrono::seconds(10));
  const auto lines = errors.failure_lines();
  ASSERT_EQ(lines.size(), 1u) << errors.text();
  EXPECT_NE(lines[0].find(form.shared().mod.ftp_server), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace qor::faults
