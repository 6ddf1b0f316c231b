// Where a broken download goes on and what of the resumed bytes is written,
// as both transfer layers follow it: pieces of any size on either side of
// the overlap, a server that does not continue the file, and the limit of
// two retries.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "portable/transfer/download_resume.hpp"

namespace qor {
namespace {

constexpr std::size_t kOverlap = DownloadResume::kOverlap;

std::string file_bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919) >> 3);
  return s;
}

// Feeds `data` to take() in pieces of `piece` bytes and writes what it
// lets through; false once it refuses.
bool feed(DownloadResume& resume, std::string_view data, std::size_t piece, std::optional<std::uint64_t> size,
          std::string& sink) {
  for (std::size_t at = 0; at < data.size(); at += piece) {
    const auto fresh = resume.take(data.substr(at, piece), size);
    if (!fresh) return false;
    sink.append(*fresh);
    resume.wrote(*fresh);
  }
  return true;
}

TEST(DownloadResume, GoesOnFromTheByteReachedAndWritesNothingTwice) {
  const std::string file = file_bytes(1'000'000);
  const std::uint64_t size = file.size();
  for (const std::size_t piece : {std::size_t{1000}, kOverlap, std::size_t{250'000}, std::size_t{65'537}}) {
    SCOPED_TRACE(piece);
    DownloadResume resume;
    std::string sink;
    resume.begin();
    ASSERT_TRUE(feed(resume, std::string_view(file).substr(0, 300'000), piece, size, sink));
    ASSERT_TRUE(resume.next_after(true, false, sink.size(), size));
    ASSERT_EQ(resume.rest_offset(), std::optional<std::uint64_t>(300'000 - kOverlap));
    resume.begin();
    ASSERT_TRUE(feed(resume, std::string_view(file).substr(*resume.rest_offset()), piece, size, sink));
    EXPECT_TRUE(sink == file) << "got " << sink.size() << " bytes";
  }
}

TEST(DownloadResume, AServerThatDoesNotContinueTheFileStartsItOverAtNoCost) {
  const std::string file = file_bytes(500'000);
  const std::uint64_t size = file.size();
  struct Case {
    const char* what;
    std::string resumed;  // what the server sends after REST
    std::optional<std::uint64_t> size;
  };
  std::string changed_late = file.substr(200'000 - kOverlap);
  changed_late[kOverlap - 1] ^= 1;  // the last byte sent again differs
  for (const Case& c : {Case{"REST ignored", file, size}, Case{"the file changed", changed_late, size},
                        Case{"another size", file.substr(200'000 - kOverlap), size + 1}}) {
    SCOPED_TRACE(c.what);
    DownloadResume resume;
    std::string sink;
    resume.begin();
    ASSERT_TRUE(feed(resume, std::string_view(file).substr(0, 200'000), 4096, size, sink));
    ASSERT_TRUE(resume.next_after(true, false, sink.size(), size));
    ASSERT_TRUE(resume.rest_offset());
    resume.begin();
    EXPECT_FALSE(feed(resume, c.resumed, 4096, c.size, sink));
    EXPECT_EQ(sink.size(), 200'000u);  // nothing of it was written
    // Starting over costs no retry, and REST is not asked again.
    ASSERT_TRUE(resume.next_after(false, false, sink.size(), size));
    EXPECT_EQ(resume.rest_offset(), std::nullopt);
    for (int retry = 0; retry < DownloadResume::kMaxRetries - 1; ++retry) {
      ASSERT_TRUE(resume.next_after(true, false, 100'000, size));
      EXPECT_EQ(resume.rest_offset(), std::nullopt);
    }
    EXPECT_FALSE(resume.next_after(true, false, 100'000, size));
  }
}

TEST(DownloadResume, StartsOverWithoutASizeAfterLittleAndWhenRestIsRefused) {
  const std::string file = file_bytes(300'000);
  const std::uint64_t size = file.size();
  DownloadResume unsized;
  std::string sink;
  ASSERT_TRUE(feed(unsized, file.substr(0, 200'000), 4096, std::nullopt, sink));
  ASSERT_TRUE(unsized.next_after(true, false, sink.size(), std::nullopt));
  EXPECT_EQ(unsized.rest_offset(), std::nullopt);

  DownloadResume little;
  sink.clear();
  ASSERT_TRUE(feed(little, file.substr(0, kOverlap - 1), 4096, size, sink));
  ASSERT_TRUE(little.next_after(true, false, sink.size(), size));
  EXPECT_EQ(little.rest_offset(), std::nullopt);

  DownloadResume refused;
  sink.clear();
  ASSERT_TRUE(feed(refused, file.substr(0, 200'000), 4096, size, sink));
  ASSERT_TRUE(refused.next_after(true, false, sink.size(), size));
  ASSERT_TRUE(refused.rest_offset());
  ASSERT_TRUE(refused.next_after(false, true, sink.size(), size));
  EXPECT_EQ(refused.rest_offset(), std::nullopt);
}

TEST(DownloadResume, OnlyABreakAfterBytesArrivedIsRetriedAndAtMostTwice) {
  const std::string file = file_bytes(1'000'000);
  const std::uint64_t size = file.size();
  DownloadResume resume;
  std::string sink;
  EXPECT_FALSE(resume.next_after(true, false, 0, size));  // nothing arrived
  ASSERT_TRUE(feed(resume, file.substr(0, 100'000), 4096, size, sink));
  EXPECT_FALSE(resume.next_after(false, false, sink.size(), size));  // ended by the client
  for (int retry = 0; retry < DownloadResume::kMaxRetries; ++retry) {
    ASSERT_TRUE(resume.next_after(true, false, sink.size(), size));
    EXPECT_EQ(resume.rest_offset(), std::optional<std::uint64_t>(sink.size() - kOverlap));
  }
  EXPECT_FALSE(resume.next_after(true, false, sink.size(), size));
}

}  // namespace
}  // namespace qor
