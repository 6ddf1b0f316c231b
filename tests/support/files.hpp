// Temporary folders and the few file operations tests need on them.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace qor::test {

// A fresh temporary folder, removed with its contents on destruction (also
// read-only leftovers).
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Throw on failure, so a test never goes on with a file it did not write.
void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);

// The names in a folder, sorted; hidden ones (a leftover temporary file) too.
std::vector<std::string> file_names(const std::string& folder);

// Permission bits (07777) of a path; 0 when it cannot be read.
mode_t mode_of(const std::string& path);

// Sets the last-write time, to the nanosecond, without following a link.
void set_last_write(const std::string& path, std::chrono::system_clock::time_point when);
// The last-write time, to the nanosecond; throws when the path is missing.
std::chrono::system_clock::time_point last_write(const std::string& path);

}  // namespace qor::test
