// Files for the Windows tests: temporary folders and whole-file reads and
// writes on the wide-character API, with UTF-8 paths as the client uses them.
#pragma once

#include <string>
#include <vector>

namespace qor::test {

// A fresh folder below the user's temporary folder, removed with its
// contents (read-only ones too) on destruction.
class TempFolder {
 public:
  TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  // "C:\...\qor-test-..." without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + "\" + name
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
// The names in a folder (without "." and ".."), sorted, as UTF-8.
std::vector<std::string> names_in(const std::string& folder);

// The Windows path of a file of the build tree, which the build knows by
// its Linux path: Wine shows the Linux file system as drive Z:.
std::string from_linux_path(const std::string& linux_path);

// Wine implements the Windows API on Linux; a few of its answers differ
// from Windows', and the tests that meet them say so where they do.
bool running_under_wine();

}  // namespace qor::test
