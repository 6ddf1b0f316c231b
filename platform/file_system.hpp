// The file-system object the window holds for its life, and the writes the
// client makes below the program folder. Paths are full local paths built by
// concatenation; "\" in them is a separator, as the server writes it.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "byte_sink.hpp"
#include "find_data.hpp"
#include "result.hpp"

namespace qor {

// A file on its way to its place: bytes go into a temporary file beside the
// target, and only commit() puts the whole file there, so a failed or broken
// write leaves the old file exactly as it was. Destroyed uncommitted, the
// temporary file goes and nothing else changes.
class ReplacementFile : public ByteSink {
 public:
  // Flushes the file to the disk and puts it in place of the target; a file
  // that replaces an existing one keeps that file's permissions.
  virtual Status commit() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // --- the operations of the file-system object ---
  // True exactly when a folder exists there; a trailing separator is allowed.
  virtual bool FolderExists(const std::string& path) = 0;
  // Creates one folder; the folder is there afterwards or the reason is told.
  virtual Status CreateFolder(const std::string& path) = 0;
  // True exactly when a file (not a folder) exists there.
  virtual bool FileExists(const std::string& path) = 0;
  // "a.b.c.d" from the file's version resource; the empty text for a file
  // without one (an ELF program, a script, a damaged file).
  virtual std::string GetFileVersion(const std::string& path) = 0;
  // The file's last-write time.
  virtual Result<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) = 0;

  // --- writes ---
  // Starts replacing (or creating) the file at path. Fails when its folder
  // is missing, or when the file there is write-protected or no regular file.
  virtual Result<std::unique_ptr<ReplacementFile>> replace_file(const std::string& path) = 0;
  // Sets only the last-write time (UTC); a read-only file is stamped and is
  // read-only again afterwards.
  virtual Status set_last_write_time(const std::string& path, const FILETIME& utc) = 0;
  // Lets a fetched program be started (execute permission where the platform
  // has one).
  virtual Status make_startable(const std::string& path) = 0;
};

// The file system of this machine for a program in `program_folder`.
std::unique_ptr<FileSystem> make_local_file_system(const std::string& program_folder);

// The path with the server's "\" separators read as this platform's separator.
std::string local_path(std::string path);

}  // namespace qor
