// The file a download goes into, with files large enough that write-back,
// the bound on unwritten data and background flushes all take part, and on a
// disk that runs full.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/linux/files/replacement_file.hpp"
#include "tests/support/files.hpp"

namespace qor::test {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Bytes that differ per offset and per seed, so a misplaced or stale range
// shows up.
char pattern_byte(std::size_t offset, unsigned seed) {
  return static_cast<char>(((offset + seed) * 2654435761u) >> 11);
}

Status write_pattern(ReplacementFile& target, std::size_t bytes, unsigned seed, std::size_t piece) {
  std::string chunk;
  for (std::size_t at = 0; at < bytes; at += piece) {
    const std::size_t n = std::min(piece, bytes - at);
    chunk.resize(n);
    for (std::size_t i = 0; i < n; ++i) chunk[i] = pattern_byte(at + i, seed);
    if (Status written = target.write(chunk.data(), n); !written) return written;
  }
  return {};
}

std::unique_ptr<ReplacementFile> start(const std::string& path) {
  auto started = start_replacement(path);
  if (!started) ADD_FAILURE() << started.failure().reason;
  return started ? std::move(*started) : nullptr;
}

// The offset of the first byte that differs from the pattern, or npos.
std::size_t first_mismatch(const std::string& path, std::size_t bytes, unsigned seed) {
  std::ifstream in(path, std::ios::binary);
  std::string chunk(kMiB, '\0');
  std::size_t at = 0;
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    const auto n = static_cast<std::size_t>(in.gcount());
    for (std::size_t i = 0; i < n; ++i)
      if (at + i >= bytes || chunk[i] != pattern_byte(at + i, seed)) return at + i;
    at += n;
  }
  return at == bytes ? std::string::npos : at;
}

std::size_t entries_in(const std::string& folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Odd piece sizes put every step boundary inside a write; the rewind comes
// after write-back and a background flush of the first attempt have begun.
TEST(ReplacementFile, LargeFileAfterARestartHoldsExactlyTheSecondAttempt) {
  TempDir dir;
  const std::string path = dir / "big.bin";
  write_file(path, "old");
  ::chmod(path.c_str(), 0640);
  const std::size_t bytes = 90 * kMiB + 12345;
  {
    const auto target = start(path);
    ASSERT_TRUE(target);
    ASSERT_TRUE(write_pattern(*target, 40 * kMiB, 1, 100'003));
    ASSERT_TRUE(target->rewind());
    ASSERT_TRUE(write_pattern(*target, bytes, 2, 262'147));
    ASSERT_TRUE(target->commit(Placement::Replace));
  }
  EXPECT_EQ(std::filesystem::file_size(path), bytes);
  EXPECT_EQ(first_mismatch(path, bytes, 2), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(entries_in(dir.path()), 1u);
}

// A download given up while its data is still on the way to the disk.
TEST(ReplacementFile, AbandonedLargeDownloadLeavesOnlyTheOldFile) {
  TempDir dir;
  const std::string path = dir / "data.db3";
  write_file(path, "the old database");
  {
    const auto target = start(path);
    ASSERT_TRUE(target);
    ASSERT_TRUE(write_pattern(*target, 70 * kMiB, 3, kMiB + 1));
  }
  EXPECT_EQ(read_file(path), "the old database");
  EXPECT_EQ(entries_in(dir.path()), 1u);
}

// A tmpfs of a few megabytes over a temporary folder (root only).
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& where) : where_(where) {
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=2m,mode=0755") == 0;
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  ~SmallDisk() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }

 private:
  std::string where_;
  bool mounted_ = false;
};

// The reason says the disk is full, whether the write itself or the flush
// before the rename finds out; what was there stays.
TEST(ReplacementFile, AFullDiskSaysSoAndLeavesTheOldFile) {
  TempDir dir;
  const SmallDisk disk(dir.path());
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const std::string path = dir / "big.exe";
  write_file(path, "the old program");
  Status status;
  {
    const auto target = start(path);
    ASSERT_TRUE(target);
    status = write_pattern(*target, 4 * kMiB, 5, 65'537);
    if (status) {
      const auto committed = target->commit(Placement::Replace);
      if (!committed) status = committed.failure();
    }
  }
  ASSERT_FALSE(status);
  EXPECT_EQ(status.failure().code, ENOSPC);
  EXPECT_NE(status.failure().reason.find("No space left on device"), std::string::npos) << status.failure().reason;
  EXPECT_NE(status.failure().reason.find(path), std::string::npos) << status.failure().reason;
  EXPECT_EQ(read_file(path), "the old program");
  EXPECT_EQ(entries_in(dir.path()), 1u);
}

// The space a download is held to is that of the file system the target is
// on, asked anew each time: what the file takes is gone from it.
TEST(ReplacementFile, TellsTheSpaceOfTheTargetsDiskAsItFills) {
  TempDir dir;
  const SmallDisk disk(dir.path());
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const auto target = start(dir / "big.exe");
  ASSERT_TRUE(target);
  const auto empty = target->disk_space();
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->total, 2 * kMiB);
  EXPECT_LE(empty->available, empty->total);
  EXPECT_GT(empty->available, kMiB);
  ASSERT_TRUE(write_pattern(*target, kMiB, 1, 65'536));
  const auto filled = target->disk_space();
  ASSERT_TRUE(filled);
  EXPECT_LE(filled->available + kMiB, empty->available);
}

}  // namespace
}  // namespace qor::test
