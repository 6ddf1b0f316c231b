// The target disk refuses: it is full, read-only, a file is write-protected,
// or a folder stands where a file is to go. The failed file is reported, the
// run goes on, and what the user had stays exactly as it was.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "tests/faults/fault_test.hpp"

namespace qor::faults {
namespace {

const std::string kFolderFailed = "Ordner konnte nicht angelegt werden";

// A tmpfs over a folder for one test (root only); unmounted on destruction.
class ScopedTmpfs {
 public:
  ScopedTmpfs(const fs::path& where, const char* size) : where_(where) {
    const std::string options = std::string("size=") + size + ",mode=0755";
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ScopedTmpfs(const ScopedTmpfs&) = delete;
  ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;
  ~ScopedTmpfs() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool make_read_only() { return ::mount(nullptr, where_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

 private:
  fs::path where_;
  bool mounted_ = false;
};

// Write permission taken from folders, given back before they are removed.
class ScopedReadOnlyFolders {
 public:
  explicit ScopedReadOnlyFolders(std::vector<fs::path> folders) : folders_(std::move(folders)) {
    for (const auto& f : folders_) fs::permissions(f, fs::perms(0555));
  }
  ScopedReadOnlyFolders(const ScopedReadOnlyFolders&) = delete;
  ScopedReadOnlyFolders& operator=(const ScopedReadOnlyFolders&) = delete;
  ~ScopedReadOnlyFolders() {
    for (const auto& f : folders_) fs::permissions(f, fs::perms(0755));
  }

 private:
  std::vector<fs::path> folders_;
};

class DiskFault : public FaultTest {
 protected:
  // Runs the whole update and checks what only this fault may leave: the
  // messages, which of the replaceable files were replaced.
  void run_expecting(const Texts& messages, const std::set<std::string>& replaced, const NetworkLimits& limits = {},
                     std::vector<std::string> server_args = {}) {
    start(std::move(server_args), limits);
    click_through();
    const Texts texts = run->message_texts();
    ASSERT_EQ(texts.size(), messages.size()) << testing::PrintToString(texts).substr(0, 500);
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_TRUE(texts[i].starts_with(messages[i])) << texts[i];
    // Each message has its reason on standard error.
    EXPECT_EQ(reports.size(), messages.size()) << testing::PrintToString(reports);
    for (const auto& rel : kReplaceable) {
      const auto old = before.find(rel);
      if (old == before.end()) continue;
      if (replaced.count(rel)) {
        EXPECT_EQ(file(rel), published(fs::path(rel).filename().string())) << rel;
      } else {
        EXPECT_EQ(file(rel), old->second.content) << rel;
      }
    }
    expect_sound_end();
  }
  std::unique_ptr<ScopedTmpfs> tmpfs;
};

// A disk of 1 MiB, with no reserve kept on it (any reserve would refuse
// every file): big.exe (3 MiB) is refused before a byte is written, or,
// when nobody announced its size, stopped before the disk is full.
TEST_F(DiskFault, FullDiskFailsTheFileThatDoesNotFitAndFreesWhatItTook) {
  tmpfs = std::make_unique<ScopedTmpfs>(sandbox.program, "1m");
  if (!tmpfs->mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  sandbox.fill_program_folder();
  NetworkLimits limits;
  limits.ftp.disk_reserve_floor = 0;
  limits.ftp.disk_reserve_percent = 0;
  for (const bool announced : {true, false}) {
    SCOPED_TRACE(announced ? "announced" : "not announced");
    if (!announced) {
      tmpfs.reset();
      tmpfs = std::make_unique<ScopedTmpfs>(sandbox.program, "1m");
      sandbox.fill_program_folder();
    }
    run_expecting({kTransferFailed}, {"Bilder/logo.jpg"}, limits,
                  announced
                      ? std::vector<std::string>{}
                      : std::vector<std::string>{"--ftp-fault", "unlisted=big.exe", "--ftp-fault", "refuse_size"});
    EXPECT_EQ(file("a.dll"), published("a.dll"));
    EXPECT_EQ(file("after.dll"), published("after.dll"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].starts_with(
        "QOR_sync_PRO: transfer of big.exe: fetch big.exe: " +
        std::string(announced ? "3145728 bytes announced, but the disk has " : "the disk is down to ")))
        << reports[0];
  }
}

TEST_F(DiskFault, ReadOnlyProgramFolderFailsEveryFolderAndFile) {
  std::unique_ptr<ScopedReadOnlyFolders> read_only;
  if (::geteuid() == 0) {
    // Root writes through permission bits; only a read-only mount refuses it.
    tmpfs = std::make_unique<ScopedTmpfs>(sandbox.program, "16m");
    if (!tmpfs->mounted()) GTEST_SKIP() << "root without the right to mount: no folder is read-only to it";
    sandbox.fill_program_folder();
    ASSERT_TRUE(tmpfs->make_read_only());
  } else {
    read_only =
        std::make_unique<ScopedReadOnlyFolders>(std::vector<fs::path>{sandbox.program, sandbox.program / "Bilder"});
  }
  run_expecting({kFolderFailed, kTransferFailed, kTransferFailed, kTransferFailed, kTransferFailed, kTransferFailed},
                {});
}

TEST_F(DiskFault, WriteProtectedFilesAreNotReplacedAndKeepTheirMode) {
  fs::permissions(sandbox.program / "big.exe", fs::perms(0555));
  fs::permissions(sandbox.program / "Bilder/logo.jpg", fs::perms(0444));
  run_expecting({kTransferFailed, kTransferFailed}, {});
  EXPECT_EQ(file("a.dll"), published("a.dll"));
}

TEST_F(DiskFault, AFolderWhereAFileIsToGoStaysWithItsContent) {
  fs::create_directories(sandbox.program / "a.dll");
  test::write_file((sandbox.program / "a.dll/keep.txt").string(), "kept");
  run_expecting({kTransferFailed}, {"big.exe", "Bilder/logo.jpg"});
  EXPECT_EQ(file("a.dll/keep.txt"), "kept");
}

TEST_F(DiskFault, AFullDesktopGetsNoShortcutAndNoLeftoverButTheRunEnds) {
  tmpfs = std::make_unique<ScopedTmpfs>(sandbox.home / "Desktop", "4k");
  if (!tmpfs->mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  // Fills the desktop to the last block.
  {
    std::FILE* filler = std::fopen((sandbox.home / "Desktop/filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    const std::string block(512, 'x');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
    }
    std::fclose(filler);
  }
  start();
  click_through(true);
  const Texts texts = run->message_texts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts[0].starts_with("Verknüpfung konnte nicht angelegt werden")) << texts[0];
  ASSERT_EQ(reports.size(), 1u) << testing::PrintToString(reports);
  EXPECT_NE(reports[0].find("No space left on device"), std::string::npos) << reports[0];
  EXPECT_EQ(run->host.unloads, 1);
  EXPECT_FALSE(fs::exists(sandbox.home / "Desktop/QOR_software_PRO.desktop"));
  expect_sound_end();
}

}  // namespace
}  // namespace qor::faults
