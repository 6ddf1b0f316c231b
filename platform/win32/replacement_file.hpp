// A file on its way to its place on Windows: a temporary file beside the
// target (named as download_names.hpp says), flushed and moved to the
// target on commit. The running program itself is moved aside first (see
// running_executable.hpp); any other file in use makes the commit fail once,
// with the old file left whole. The folders on the way stay held open (see
// program_folder_root.hpp) until the file is committed or dropped.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "platform/win32/program_folder_root.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

class Win32ReplacementFile final : public ReplacementFile {
 public:
  explicit Win32ReplacementFile(EntryBelow entry);
  Win32ReplacementFile(const Win32ReplacementFile&) = delete;
  Win32ReplacementFile& operator=(const Win32ReplacementFile&) = delete;
  ~Win32ReplacementFile() override { discard(); }

  Status open();
  Status write(const char* data, std::size_t size) override;
  Status rewind() override;
  std::optional<DiskSpace> disk_space() const override;
  Result<Committed> commit(Placement placement) override;

  // The steps of commit() for a run that flushes many files before it
  // renames any (placement_run.hpp). finish(): every byte has arrived; the
  // file gets the last-write time it is to carry and stays open, shared
  // with nobody, until flushed.
  Status finish(const Placing& placing);
  // Gives the file the attributes it keeps from the one it replaces, flushes
  // its bytes to the disk and closes it.
  Status flush();
  // Moves the flushed file into place, flushing nothing more.
  Result<Committed> place(Placement placement);

  // The folder the file goes into (full path, as on disk), the temporary
  // name in it, the target's name there and its full path.
  const std::string& folder() const { return folder_; }
  std::string temporary_name() const;
  const std::string& name() const { return name_; }
  const std::string& target() const { return shown_; }

 private:
  Failure failed(const std::string& what, DWORD error) const;
  void discard();

  std::vector<UniqueHandle> held_;  // the folders on the way, until the file is in place
  std::string shown_;               // the target as on disk, for reasons
  std::wstring target_;
  std::string folder_;
  std::string name_;
  bool exists_;
  DWORD attributes_;
  std::wstring temp_;
  UniqueHandle file_;
  DWORD kept_attributes_ = 0;
};

// Starts replacing the entry a walk for writing found. Fails when the entry
// is the program folder itself, write-protected (the read-only attribute),
// a reparse point or no regular file, or when its name is one Windows would
// read as another (windows_names.hpp).
Result<std::unique_ptr<ReplacementFile>> start_replacement(EntryBelow entry);

// Moves the closed file `temp` to `target` (shown in reasons as `shown`)
// as a commit does: in place of what is there (the running program set
// aside), or only into an empty place. A reparse point at the place stays
// and the move fails. `temp` is left where it was when the move fails or
// the place is taken.
Result<Committed> move_into_place(const std::wstring& temp, const std::wstring& target, const std::string& shown,
                                  Placement placement);

}  // namespace qor::win32
