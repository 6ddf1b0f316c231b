// The icon reader on icon libraries from the cross toolchain, whole, cut
// short and damaged: it gives the first icon group as an .ico file with
// every picture it names, or nothing, and never more than its limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "portable/pe/pe_icon.hpp"
#include "tests/support/files.hpp"

namespace {

using Bytes = std::vector<unsigned char>;
using qor::read_pe_icon_from_bytes;

bool have_fixtures() { return QOR_PE_FIXTURES[0] != '\0'; }
Bytes load(const std::string& name) {
  const std::string s = qor::test::read_file(std::string(QOR_PE_FIXTURES) + "/" + name);
  return Bytes(s.begin(), s.end());
}

std::uint32_t le(const Bytes& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

// An .ico file whose directory is whole and whose pictures lie inside it,
// within the reader's limits; false for anything else (the empty result too).
bool well_formed(const Bytes& ico) {
  if (ico.size() < 6 || le(ico, 0, 2) != 0 || le(ico, 2, 2) != 1) return false;
  const std::size_t count = le(ico, 4, 2);
  if (count == 0 || count > qor::kMaxIconPictures || ico.size() < 6 + 16 * count) return false;
  std::size_t next = 6 + 16 * count, total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t size = le(ico, 6 + 16 * i + 8, 4), offset = le(ico, 6 + 16 * i + 12, 4);
    if (offset != next || size == 0 || size > qor::kMaxIconPictureBytes) return false;
    next += size;
    total += size;
  }
  return next == ico.size() && total <= qor::kMaxIconBytes;
}

// Where a group with these pictures (16, 32, 48 pixels, ids 1 to 3) lies.
std::size_t group_at(const Bytes& image) {
  const Bytes head = {0, 0, 1, 0, 3, 0, 16, 16};
  const auto at = std::search(image.begin(), image.end(), head.begin(), head.end());
  return at == image.end() ? 0 : static_cast<std::size_t>(at - image.begin());
}

class PeIcon : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_fixtures()) GTEST_SKIP() << "MinGW cross toolchain not found at configure time";
  }
};

TEST_F(PeIcon, TheFirstGroupOfAnIconLibraryIsItsIconFile) {
  // The group and its pictures carry what the icon file held, to the byte.
  EXPECT_EQ(read_pe_icon_from_bytes(load("icons64.dll")), load("app.ico"));
  EXPECT_EQ(read_pe_icon_from_bytes(load("bitmap_icons64.dll")), load("bitmaps.ico"));
  for (const char* none : {"no_icon64.dll", "versioned64.exe", "plain64.exe", "wide32.exe"}) {
    EXPECT_TRUE(read_pe_icon_from_bytes(load(none)).empty()) << none;
  }
}

TEST_F(PeIcon, APictureLargerThanTheLimitIsLeftOutAndTheOthersKept) {
  const Bytes ico = read_pe_icon_from_bytes(load("big_icon64.dll"));
  ASSERT_TRUE(well_formed(ico));
  EXPECT_EQ(le(ico, 4, 2), 1u);
  EXPECT_EQ(ico[6], 16);
}

TEST_F(PeIcon, ADamagedGroupGivesTheReadablePicturesOrNothing) {
  const Bytes image = load("icons64.dll");
  const std::size_t group = group_at(image);
  ASSERT_NE(group, 0u);
  struct Case {
    const char* what;
    std::size_t at;
    Bytes bytes;
    std::size_t pictures;
  };
  const Case cases[] = {
      {"65535 entries in a short group", group + 4, {0xFF, 0xFF}, 0},
      {"no entries", group + 4, {0, 0}, 0},
      {"a cursor group", group + 2, {2, 0}, 0},
      {"the first picture missing", group + 6 + 12, {0xE7, 0x03}, 2},
      {"every picture the same", group + 6 + 14 + 12, {1, 0}, 3},
  };
  for (const Case& c : cases) {
    Bytes broken = image;
    std::copy(c.bytes.begin(), c.bytes.end(), broken.begin() + static_cast<std::ptrdiff_t>(c.at));
    const Bytes ico = read_pe_icon_from_bytes(broken);
    EXPECT_EQ(ico.empty() ? 0u : le(ico, 4, 2), c.pictures) << c.what;
    EXPECT_TRUE(ico.empty() || well_formed(ico)) << c.what;
  }
}

// Every prefix and every damaged byte gives a well-formed icon file or
// nothing; the sanitizers catch a read past what was given.
TEST_F(PeIcon, TruncatedAndCorruptedLibrariesNeverCrash) {
  for (const char* name : {"icons64.dll", "bitmap_icons64.dll"}) {
    const Bytes image = load(name);
    for (std::size_t n = 0; n <= image.size(); n += 7) {
      const Bytes ico = read_pe_icon_from_bytes(std::span(image.data(), n));
      ASSERT_TRUE(ico.empty() || well_formed(ico)) << name << " prefix " << n;
    }
    for (std::size_t at = 0; at < image.size(); ++at) {
      for (unsigned char mask : {0x01, 0x80, 0xFF}) {
        Bytes broken = image;
        broken[at] ^= mask;
        const Bytes ico = read_pe_icon_from_bytes(broken);
        ASSERT_TRUE(ico.empty() || well_formed(ico)) << name << " byte " << at;
      }
    }
    std::mt19937 random(20261207);
    for (int round = 0; round < 2000; ++round) {
      Bytes broken = image;
      for (int k = 0; k < 8; ++k) broken[random() % broken.size()] = static_cast<unsigned char>(random());
      const Bytes ico = read_pe_icon_from_bytes(broken);
      ASSERT_TRUE(ico.empty() || well_formed(ico)) << name;
    }
  }
}

}  // namespace
