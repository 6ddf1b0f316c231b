// The file-system object on this system where it differs from the shared
// suite (tests/platform/contract/files): file versions of what only this
// system has, a FIFO that must not block and the running ELF program, and
// images read by the POSIX reader itself.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "platform/file_system.hpp"
#include "platform/linux/files/pe_file.hpp"
#include "tests/support/files.hpp"

namespace qor {
namespace {

using test::TempDir;

#ifndef QOR_PE_FIXTURES
#define QOR_PE_FIXTURES ""
#endif
std::string fixture(const std::string& name) { return std::string(QOR_PE_FIXTURES) + "/" + name + ".exe"; }

TEST(LocalFileSystem, FileVersionOfRealImagesAndEmptyTextForAnythingElse) {
  TempDir dir;
  const auto files = make_local_file_system(dir.path());
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // must not block waiting for a writer
  for (const std::string& path : {std::string("/proc/self/exe"), dir / "fifo"}) {
    EXPECT_EQ(files->GetFileVersion(path), "") << path;
  }
  if (std::string(QOR_PE_FIXTURES).empty()) GTEST_SKIP() << "MinGW cross toolchain not found at configure time";
  EXPECT_EQ(read_pe_file_version_at(fixture("wide32")), "65535.256.0.40000");
  EXPECT_EQ(read_pe_file_version_at(fixture("plain64")), "");
}

}  // namespace
}  // namespace qor
