// The file-system object the window holds for its life, and the writes the
// client makes below the program folder. Paths are full local paths built by
// concatenation; "\" in them is a separator, as the server writes it.
//
// The object is bound to its program folder. Every path below it is walked
// from the folder itself: no symbolic link (or other reparse point) below the
// folder is followed, so such a link is no file nor folder here and a write
// through it is refused with the reason; the folder itself may be reached
// through one. Each part of such a path that does not exist as written is
// the folder's one entry equal to it regardless of letter case (Unicode
// simple case folding, fold_case_text); where several match, the name as
// written. Reads of paths outside the folder see the disk as it is; writes
// there are refused with the reason.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/byte_sink.hpp"
#include "platform/find_data.hpp"
#include "portable/result/result.hpp"

namespace qor {

// A file on its way to its place: bytes go into a temporary file beside the
// target, and only commit() puts the whole file there, so a failed or broken
// write leaves the old file exactly as it was. Destroyed uncommitted, the
// temporary file goes and nothing else changes. Its disk space is that of
// the file system the target's folder is on.
enum class Placement {
  Replace,       // in place of the file there, or where there is none
  OnlyIfAbsent,  // only where no entry of that name, in any letter case, is there at the swap
};

// What a successful commit did.
enum class Committed {
  Placed,      // the file is at its place
  PlaceTaken,  // OnlyIfAbsent found the place taken: the new file is dropped, the entry there untouched
};

class ReplacementFile : public ByteSink {
 public:
  // Flushes the file to the disk and puts it at its place in one step. A
  // file that replaces an existing one keeps that file's permissions, less
  // set-user-ID and set-group-ID. With OnlyIfAbsent the place is looked at
  // again at the moment of the swap and the swap itself never replaces an
  // entry (renameat2 RENAME_NOREPLACE, or link and unlink; MoveFileEx
  // without MOVEFILE_REPLACE_EXISTING). An entry that stands at the place
  // as a symbolic link by then is left as it is and the commit fails.
  virtual Result<Committed> commit(Placement placement) = 0;
};

// How a held file goes to its place, and what it carries once it shows
// under its name: its stamp and execute permission are set on the file
// before the rename, so that no name ever shows the file without them, also
// after a stop between the renames.
struct Placing {
  Placement placement = Placement::Replace;
  std::optional<FILETIME> last_write;  // UTC, whole seconds: the time it carries instead of its arrival
  bool startable = false;              // execute permission where the platform has one
};

// The files of one download run, put in place together. Each file's bytes
// start on their way to the disk as soon as it is complete; the run waits
// for the disk once for all of them, writes down in a journal in the program
// folder which temporary file goes where, then renames them in the order
// they were held. A file is never visible under its name before its bytes
// are durable. If the program or the machine stops between the first and
// the last rename, the next start finishes the renames from the journal
// (finish_interrupted_run), so the folder never holds a mix the run did not
// mean for longer than that.
class PlacementRun {
 public:
  virtual ~PlacementRun() = default;
  // Takes a replacement file whose bytes have all arrived; it is put in
  // place by place_all() as `placing` says. Fails (and drops the file, the
  // old one staying) when the file cannot be finished so.
  virtual Status hold(std::unique_ptr<ReplacementFile> file, const Placing& placing) = 0;
  // How many files wait for place_all().
  virtual std::size_t held() const = 0;
  // One wait for the disk for every held file, the journal, then each file
  // put at its place as commit() would; one result per held file, in the
  // order held. None is held afterwards.
  virtual std::vector<Result<Committed>> place_all() = 0;
  // Makes the renames durable, and removes the journal.
  virtual Status settle() = 0;
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

  // The path of the regular file at `path` as it stands on disk (each part
  // in its letter case there), for starting it. Fails with the reason when
  // the path lies outside the program folder, leads through a link, or
  // names no regular file.
  virtual Result<std::string> regular_file_inside(const std::string& path) = 0;

  // Streams the regular file at `path` inside the program folder into
  // `sink`, for checking it against a signed release. Fails with the reason
  // for a path outside the folder or through a link, anything but a regular
  // file, and a file larger than `max_bytes` (nothing is written then).
  virtual Status read_file(const std::string& path, ByteSink& sink, std::uint64_t max_bytes) = 0;

  // --- writes (below the program folder only) ---
  // Starts replacing (or creating) the file at path. Fails when its folder
  // is missing, or when the file there is write-protected, a link or no
  // regular file. The temporary file is named ".qor-download-" and six
  // letters or digits, in the target's folder.
  virtual Result<std::unique_ptr<ReplacementFile>> replace_file(const std::string& path) = 0;
  // Sets only the last-write time (UTC) of the file itself; a read-only file
  // is stamped and is read-only again afterwards.
  virtual Status set_last_write_time(const std::string& path, const FILETIME& utc) = 0;
  // Lets a fetched program be started (execute permission where the platform
  // has one).
  virtual Status make_startable(const std::string& path) = 0;
  // Removes the temporary files of downloads that a run ended during them
  // left in the program folder and the folders below it: regular files of
  // this user named as replace_file names them. Nothing else is touched and
  // no link is followed. Fails with the reason of the first file or folder
  // that could not be handled; the others are still handled.
  virtual Status remove_download_leftovers() = 0;

  // A run of placements (see PlacementRun) in this program folder.
  virtual std::unique_ptr<PlacementRun> start_placement_run() = 0;
  // Finishes the renames of a run that stopped between its first and its
  // last, as its journal lists them, and removes the journal: a file meant
  // to replace is put in place; a file meant only for an empty place is put
  // there only if the place is still empty, else dropped. Nothing else is
  // touched. Without a journal, nothing happens. Fails with the reason of
  // the first entry that could not be finished; the others are still done.
  virtual Status finish_interrupted_run() = 0;
};

// The file system of this machine for a program in `program_folder`.
std::unique_ptr<FileSystem> make_local_file_system(const std::string& program_folder);

// The path with the server's "\" separators read as this platform's separator.
std::string local_path(std::string path);

// The path as the user reads it in a list or a message: every separator
// ("\" or "/") written the way this platform writes its own paths.
std::string display_path(std::string path);

}  // namespace qor
