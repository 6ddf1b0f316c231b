// The project's own version reader on Windows files, against the system's
// version functions: the same four numbers for every image.
#include <gtest/gtest.h>

#include <vector>

#include "platform/file_system.hpp"
#include "platform/win32/wide_text.hpp"
#include "tests/support/files.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

std::string fixture(const std::string& name) { return test::from_linux_path(QOR_TEST_PE_FIXTURES "/" + name + ".exe"); }

// What GetFileVersionInfoW finds: the fixed file version, or the empty text.
std::string system_version(const std::string& path) {
  const std::wstring wide = win32::to_wide(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(wide.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof *info)
    return {};
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

TEST(PeVersion, ReadsWhatTheSystemReads) {
  const auto fs = make_local_file_system("");
  const std::pair<const char*, const char*> images[] = {
      {"versioned64", "1.2.3.4"}, {"versioned32", "1.2.3.4"}, {"wide32", "65535.256.0.40000"}, {"plain64", ""},
      {"strings64", ""},
  };
  for (const auto& [name, expected] : images) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(test::file_exists(fixture(name)));
    EXPECT_EQ(system_version(fixture(name)), expected);
    EXPECT_EQ(fs->GetFileVersion(fixture(name)), expected);
  }
}

TEST(PeVersion, FilesThatAreNoVersionedImageHaveTheEmptyVersion) {
  test::TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  test::write_file(dir / "text.exe", "MZ but nothing else");
  ASSERT_TRUE(fs->CreateFolder(dir / "ordner.exe"));
  EXPECT_EQ(fs->GetFileVersion(dir / "text.exe"), "");
  EXPECT_EQ(fs->GetFileVersion(dir / "ordner.exe"), "");
  EXPECT_EQ(fs->GetFileVersion(dir / "fehlt.exe"), "");
}

// The file stays usable for others while its version is read, and a
// program in use is read too.
TEST(PeVersion, ReadsAnImageOthersHaveOpen) {
  test::TempDir dir;
  const auto fs = make_local_file_system(dir.path());
  ASSERT_TRUE(CopyFileW(win32::to_wide(fixture("versioned64")).c_str(), win32::to_wide(dir / "app.exe").c_str(), TRUE));
  const win32::UniqueHandle other(CreateFileW(win32::to_wide(dir / "app.exe").c_str(), GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(other);
  EXPECT_EQ(fs->GetFileVersion(dir / "app.exe"), "1.2.3.4");
}

}  // namespace
}  // namespace qor
