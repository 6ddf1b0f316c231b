#include "windows_files.hpp"

#include <algorithm>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "unique_handle.hpp"
#include "windows_api.hpp"

namespace qor::test {
namespace fs = std::filesystem;
using win32::to_utf8;
using win32::to_wide;
using win32::UniqueHandle;

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, base);
  if (n == 0 || n > MAX_PATH) throw std::runtime_error("no temporary folder");
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder = std::wstring(base) + L"qor-test-" + std::to_wstring(random());
    if (CreateDirectoryW(folder.c_str(), nullptr)) {
      path_ = to_utf8(folder);
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  const fs::path root(to_wide(path_));
  std::error_code ec;
  // Read-only files and folders would refuse to go.
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(root, ec);
}

void write_file(const std::string& path, const std::string& content) {
  const UniqueHandle file(
      CreateFileW(to_wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
      written != content.size())
    throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  const UniqueHandle file(CreateFileW(to_wide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("cannot read " + path);
  std::string content;
  char piece[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), piece, sizeof piece, &got, nullptr) && got > 0) content.append(piece, got);
  return content;
}

bool file_exists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(fs::path(to_wide(folder)), ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    names.push_back(to_utf8(it->path().filename().wstring()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string from_linux_path(const std::string& linux_path) {
  std::string path = "Z:" + linux_path;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool running_under_wine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace qor::test
