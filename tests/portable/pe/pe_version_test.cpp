// The version reader on images in memory: real ones from the cross
// toolchain, and a minimal one laid out by hand so that each field can be
// broken on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "portable/pe/pe_version.hpp"
#include "tests/support/files.hpp"

namespace {
using Bytes = std::vector<unsigned char>;
using qor::read_pe_file_version_from_bytes;

std::string version_of(const Bytes& b) { return read_pe_file_version_from_bytes(b); }

// Damaged input may still carry a version, but never anything else.
bool version_shaped(const std::string& v) { return v.empty() || std::count(v.begin(), v.end(), '.') == 3; }

Bytes load(const std::string& path) {
  const std::string s = qor::test::read_file(path);
  return Bytes(s.begin(), s.end());
}

bool have_fixtures() { return QOR_PE_FIXTURES[0] != '\0'; }
std::string fixture(const std::string& name) { return std::string(QOR_PE_FIXTURES) + "/" + name + ".exe"; }

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

// A minimal image laid out by hand, so a test can break one known field.
// Offsets below kRsrc are file offsets; resource offsets are relative to it.
constexpr std::size_t kRsrc = 0x200, kRoot = 0x00, kNames = 0x18, kLangs = 0x30, kData = 0x48, kBlock = 0x58;
constexpr std::uint32_t kRsrcRva = 0x1000;

struct Image {
  Bytes b = Bytes(0x400, 0);
  std::size_t optional = 0x58, directories, sections;
  explicit Image(bool pe32plus) {
    b[0] = 'M', b[1] = 'Z';
    put32(b, 0x3C, 0x40);
    b[0x40] = 'P', b[0x41] = 'E';
    put16(b, 0x44, pe32plus ? 0x8664 : 0x14C);
    put16(b, 0x46, 1);
    const std::uint16_t optional_size = pe32plus ? 0xF0 : 0xE0;
    put16(b, 0x54, optional_size);
    put16(b, optional, pe32plus ? 0x20B : 0x10B);
    directories = optional + (pe32plus ? 112 : 96);
    put32(b, directories - 4, 16);
    put32(b, directories + 16, kRsrcRva);
    put32(b, directories + 20, 0xB4);
    sections = optional + optional_size;
    put32(b, sections + 8, 0xB4);
    put32(b, sections + 12, kRsrcRva);
    put32(b, sections + 16, 0x200);
    put32(b, sections + 20, kRsrc);
    directory(kRoot, 16, 0x80000000 | kNames);
    directory(kNames, 1, 0x80000000 | kLangs);
    directory(kLangs, 0x409, kData);
    put32(b, kRsrc + kData, kRsrcRva + kBlock);
    put32(b, kRsrc + kData + 4, 92);
    put16(b, kRsrc + kBlock, 92);
    put16(b, kRsrc + kBlock + 2, 52);
    const std::string key = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < key.size(); ++i) put16(b, kRsrc + kBlock + 6 + 2 * i, key[i]);
    put32(b, kRsrc + kBlock + 40, 0xFEEF04BD);
    put32(b, kRsrc + kBlock + 48, (7u << 16) | 8);  // file version 7.8.9.10
    put32(b, kRsrc + kBlock + 52, (9u << 16) | 10);
    put32(b, kRsrc + kBlock + 56, (1u << 16) | 1);  // product version 1.1.1.1
  }
  void directory(std::size_t at, std::uint32_t name, std::uint32_t target) {
    put16(b, kRsrc + at + 14, 1);
    put32(b, kRsrc + at + 16, name);
    put32(b, kRsrc + at + 20, target);
  }
};

TEST(PeVersion, ReadsTheFixedFileVersionOfRealImages) {
  if (!have_fixtures()) GTEST_SKIP() << "MinGW cross toolchain not found at configure time";
  EXPECT_EQ(version_of(load(fixture("versioned64"))), "1.2.3.4");
  EXPECT_EQ(version_of(load(fixture("versioned32"))), "1.2.3.4");
  EXPECT_EQ(version_of(load(fixture("wide32"))), "65535.256.0.40000");
  EXPECT_EQ(version_of(load(fixture("plain64"))), "");
  EXPECT_EQ(version_of(load(fixture("strings64"))), "");
}

TEST(PeVersion, ReadsCraftedImagesOfBothFormats) {
  EXPECT_EQ(version_of(Image(false).b), "7.8.9.10");
  EXPECT_EQ(version_of(Image(true).b), "7.8.9.10");
}

TEST(PeVersion, BytesThatAreNoPeImageGiveEmptyText) {
  const Bytes image = Image(true).b;
  for (const std::string& text : {std::string(), std::string("MZ"), std::string("#!/bin/sh\necho MZ\n"),
                                  std::string("\x7f"
                                              "ELF\x02\x01\x01")}) {
    EXPECT_EQ(version_of(Bytes(text.begin(), text.end())), "") << text;
  }
  EXPECT_EQ(version_of(Bytes(image.begin(), image.begin() + kRsrc + kBlock + 60)), "");
}

TEST(PeVersion, BrokenFieldsGiveEmptyText) {
  struct Case {
    const char* what;
    void (*breakit)(Image&);
  };
  const Case cases[] = {
      {"e_lfanew past the end", [](Image& i) { put32(i.b, 0x3C, 0xFFFFFFF0); }},
      {"two data directories only", [](Image& i) { put32(i.b, i.directories - 4, 2); }},
      {"no resource table", [](Image& i) { put32(i.b, i.directories + 16, 0); }},
      {"no sections", [](Image& i) { put16(i.b, 0x46, 0); }},
      {"section table past the end", [](Image& i) { put16(i.b, 0x46, 0xFFFF); }},
      {"raw data past the end", [](Image& i) { put32(i.b, i.sections + 20, 0xFFFFFFFF); }},
      {"huge raw size",
       [](Image& i) {
         put32(i.b, i.sections + 8, 0);
         put32(i.b, i.sections + 16, 0xFFFFFFFF);
         put32(i.b, i.sections + 20, 0xFFFFFF00);
       }},
      {"section at the top of the address space", [](Image& i) { put32(i.b, i.sections + 12, 0xFFFFFFF0); }},
      {"65535 entries in a small section", [](Image& i) { put16(i.b, kRsrc + kRoot + 14, 0xFFFF); }},
      {"type is a data entry", [](Image& i) { put32(i.b, kRsrc + kRoot + 20, kData); }},
      {"language points back at the root", [](Image& i) { put32(i.b, kRsrc + kLangs + 20, 0x80000000 | kRoot); }},
      {"name points at itself", [](Image& i) { put32(i.b, kRsrc + kNames + 20, 0x80000000 | kNames); }},
      {"directory offset past the end", [](Image& i) { put32(i.b, kRsrc + kNames + 20, 0xFFFFFFFF); }},
      {"data address past the end", [](Image& i) { put32(i.b, kRsrc + kData, 0xFFFFFFF0); }},
      {"data size too small", [](Image& i) { put32(i.b, kRsrc + kData + 4, 91); }},
      {"block longer than the data", [](Image& i) { put16(i.b, kRsrc + kBlock, 0xFFFF); }},
      {"block too short", [](Image& i) { put16(i.b, kRsrc + kBlock, 40); }},
      {"no fixed info", [](Image& i) { put16(i.b, kRsrc + kBlock + 2, 0); }},
      {"wrong key", [](Image& i) { put16(i.b, kRsrc + kBlock + 6, 'W'); }},
      {"wrong signature", [](Image& i) { put32(i.b, kRsrc + kBlock + 40, 0xFEEF04BC); }},
  };
  for (bool plus : {false, true}) {
    for (const Case& c : cases) {
      Image image(plus);
      c.breakit(image);
      EXPECT_EQ(version_of(image.b), "") << c.what << (plus ? " (PE32+)" : " (PE32)");
    }
  }
}

// Every prefix of a good image must give either nothing or the right version,
// and once the version appears it stays: a reader that looks past the end of
// what it was given would be caught here, and by the sanitizers.
void expect_truncations_safe(const Bytes& image, const std::string& version) {
  bool seen = false;
  for (std::size_t n = 0; n <= image.size(); ++n) {
    const std::string got = read_pe_file_version_from_bytes(std::span(image.data(), n));
    if (got != (seen ? version : "")) {
      seen = true;
      ASSERT_EQ(got, version) << "prefix " << n;
    }
  }
  EXPECT_TRUE(seen);
}

TEST(PeVersion, TruncatedAndCorruptedImagesNeverCrash) {
  std::vector<std::pair<Bytes, std::string>> images = {{Image(false).b, "7.8.9.10"}, {Image(true).b, "7.8.9.10"}};
  if (have_fixtures()) {
    images.emplace_back(load(fixture("versioned32")), "1.2.3.4");
    images.emplace_back(load(fixture("versioned64")), "1.2.3.4");
  }
  std::mt19937 random(20261207);
  for (const auto& [image, version] : images) {
    expect_truncations_safe(image, version);
    for (std::size_t at = 0; at < image.size(); ++at) {
      for (unsigned char mask : {0x01, 0x80, 0xFF}) {
        Bytes broken = image;
        broken[at] ^= mask;
        ASSERT_TRUE(version_shaped(version_of(broken))) << "byte " << at;
      }
    }
    for (int round = 0; round < 2000; ++round) {
      Bytes broken = image;
      for (int k = 0; k < 8; ++k) broken[random() % broken.size()] = static_cast<unsigned char>(random());
      ASSERT_TRUE(version_shaped(version_of(broken)));
    }
  }
}

}  // namespace
