// The file-system object the window holds for its life. Paths are full local
// paths built by concatenation; a "\" in them is read as "/".
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace qor {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // True exactly when a folder exists there; a trailing separator is allowed.
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates one folder; false when it could not be created.
  virtual bool CreateFolder(const std::string& path) = 0;
  // True exactly when a file (not a folder) exists there.
  virtual bool FileExists(const std::string& path) = 0;
  // "a.b.c.d" from a PE file's version resource; the empty text for a file
  // without one (an ELF program, a script, a damaged file).
  virtual std::string GetFileVersion(const std::string& path) = 0;
  // The file's last-write time; none when it cannot be read.
  virtual std::optional<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) = 0;
};

// The file system of this machine.
std::unique_ptr<FileSystem> make_local_file_system();

// Maps Windows-style "\" separators (as servers send them) to "/".
std::string local_path(std::string path);

}  // namespace qor
