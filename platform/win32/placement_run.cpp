#include "platform/win32/placement_run.hpp"

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/replacement_file.hpp"
#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"
#include "portable/stop_point.hpp"
#include "portable/transfer/placement_journal.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {
namespace {

// A journal larger than this was not written by a run.
constexpr LONGLONG kLargestJournal = LONGLONG{16} << 20;

std::string joined(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// Commits what is cached of the open file or folder to the disk: a file's
// bytes and its own record (times, attributes), a folder's entries (the
// names renamed into it). FlushFileBuffers wants a handle open for writing.
Status flush_entry(const std::string& path, const std::string& what) {
  const UniqueHandle opened(CreateFileW(to_wide(path).c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!opened) {
    const DWORD error = GetLastError();
    return windows_failure(what + " " + path, error);
  }
  if (!FlushFileBuffers(opened.get())) {
    const DWORD error = GetLastError();
    return windows_failure(what + " " + path, error);
  }
  return {};
}

// The folders a run renamed into, each once.
class Folders {
 public:
  void add(const std::string& folder) {
    for (const std::string& known : known_)
      if (known == folder) return;
    known_.push_back(folder);
  }
  // Makes the renames into each durable. A file system that cannot flush a
  // folder (or will not open one for writing: some network shares) keeps the
  // names as its own journal does; that is no failure of the run.
  Status flush(const std::string& what) const {
    for (const std::string& folder : known_) {
      const Status flushed = flush_entry(folder, what);
      const long code = flushed ? 0 : flushed.failure().code;
      if (code != 0 && code != ERROR_INVALID_FUNCTION && code != ERROR_NOT_SUPPORTED && code != ERROR_ACCESS_DENIED)
        return flushed;
    }
    return {};
  }
  void clear() { known_.clear(); }

 private:
  std::vector<std::string> known_;
};

class Win32PlacementRun final : public PlacementRun {
 public:
  explicit Win32PlacementRun(ProgramFolderRoot root) : root_(std::move(root)) {}

  Status hold(std::unique_ptr<ReplacementFile> file, const Placing& placing) override {
    auto* own = dynamic_cast<Win32ReplacementFile*>(file.get());
    if (own == nullptr) return Failure{"hold a file: it was not started by this file system"};
    if (Status finished = own->finish(placing); !finished) return finished;
    std::unique_ptr<Win32ReplacementFile> owned(own);
    (void)file.release();  // now owned by `owned`
    held_.push_back({std::move(owned), placing.placement});
    return {};
  }

  std::size_t held() const override { return held_.size(); }

  std::vector<Result<Committed>> place_all() override {
    std::vector<Held> held = std::move(held_);
    held_.clear();
    std::vector<Result<Committed>> results(held.size(), Committed::Placed);
    // One FlushFileBuffers per file: the only flush of a single file's bytes
    // Windows offers without administrator rights. A file that could not be
    // written is dropped.
    std::vector<JournalEntry> entries;
    for (std::size_t i = 0; i < held.size(); ++i) {
      if (Status flushed = held[i].file->flush(); !flushed) {
        drop(held[i], results[i], flushed.failure());
        continue;
      }
      auto entry = journal_entry(*held[i].file, held[i].placement);
      if (!entry) {
        drop(held[i], results[i], entry.failure());
        continue;
      }
      entries.push_back(std::move(*entry));
    }
    if (entries.empty()) return results;
    stop_point(kStopAfterFlush);
    const Status ready = write_journal(entries);
    if (ready) stop_point(kStopAfterJournal);
    std::size_t renamed = 0;
    for (std::size_t i = 0; i < held.size(); ++i) {
      if (!held[i].file) continue;
      if (!ready) {
        drop(held[i], results[i], ready.failure());
        continue;
      }
      const std::string folder = held[i].file->folder();
      results[i] = held[i].file->place(held[i].placement);
      held[i].file.reset();
      if (results[i] && *results[i] == Committed::Placed) folders_.add(folder);
      stop_point(kStopAfterRename, static_cast<long>(++renamed));
    }
    return results;
  }

  // MOVEFILE_WRITE_THROUGH promises a flushed move only where the move
  // copies: each folder renamed into is flushed once here, which commits
  // its entries. The files' bytes and stamps went with their own flushes.
  Status settle() override {
    if (!journal_written_) return {};
    // A journal left behind by a failed flush is read at the next start:
    // its renames are done, so it only goes then.
    if (Status flushed = folders_.flush("flush the placed files' names in"); !flushed) return flushed;
    folders_.clear();
    stop_point(kStopBeforeJournalGoes);
    journal_written_ = false;
    const std::string journal = joined(root_.path(), kPlacementJournalName);
    if (!DeleteFileW(to_wide(journal).c_str())) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_NOT_FOUND) return windows_failure("remove the placement journal " + journal, error);
    }
    return {};
  }

 private:
  struct Held {
    std::unique_ptr<Win32ReplacementFile> file;
    Placement placement;
  };

  static void drop(Held& held, Result<Committed>& result, Failure why) {
    held.file.reset();  // the temporary file goes, the old file stays
    result = std::move(why);
  }

  Result<JournalEntry> journal_entry(const Win32ReplacementFile& file, Placement placement) const {
    const auto folder = root_.below(file.folder());
    if (!folder) return Failure{"place " + file.target() + ": not below the program folder " + root_.path()};
    return JournalEntry{placement == Placement::OnlyIfAbsent, *folder, file.temporary_name(), file.name()};
  }

  // Flushed and moved into place as any replacement: no rename of the run
  // can reach the disk before the journal's, as the file system writes its
  // changes of names in the order they were made.
  Status write_journal(const std::vector<JournalEntry>& entries) {
    const auto text = write_placement_journal(entries);
    if (!text) return text.failure();
    const std::string shown = joined(root_.path(), kPlacementJournalName);
    auto place = root_.walk(kPlacementJournalName, true);
    if (!place) return Failure{"write the placement journal " + shown + ": " + place.failure().reason};
    if (Status here = root_.check_entry(*place); !here) return here;
    auto journal = start_replacement(std::move(*place));
    if (!journal) return journal.failure();
    if (Status written = (*journal)->write(text->data(), text->size()); !written) return written;
    const auto committed = (*journal)->commit(Placement::Replace);
    if (!committed) return committed.failure();
    journal_written_ = true;
    return {};
  }

  ProgramFolderRoot root_;
  std::vector<Held> held_;
  Folders folders_;
  bool journal_written_ = false;
};

// The journal's text; none when there is no journal.
Result<std::optional<std::string>> read_journal(const ProgramFolderRoot& root, const std::string& shown) {
  const UniqueHandle file(CreateFileW(to_wide(shown).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return std::optional<std::string>();
    return windows_failure("read " + shown, error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) {
    const DWORD error = GetLastError();
    return windows_failure("read " + shown, error);
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return reparse_point_in_the_way(shown);
  if (Status here = root.check_is_at(file.get(), shown); !here) return here.failure();
  const LONGLONG size = (LONGLONG{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || size > kLargestJournal)
    return Failure{"read " + shown + ": not a journal"};
  std::string text(static_cast<std::size_t>(size), '\0');
  std::size_t have = 0;
  while (have < text.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), text.data() + have, static_cast<DWORD>(text.size() - have), &got, nullptr)) {
      const DWORD error = GetLastError();
      return windows_failure("read " + shown, error);
    }
    if (got == 0) break;
    have += got;
  }
  text.resize(have);
  return std::optional<std::string>(std::move(text));
}

// One entry of the journal: a temporary file still there is put in place as
// the run meant it; one that is gone was placed (or dropped) already. Where
// it cannot go to its place, it goes: the place stays as it is.
Status finish_entry(const ProgramFolderRoot& root, const JournalEntry& entry, Folders& touched) {
  const std::string relative = entry.folder.empty() ? entry.target : entry.folder + "/" + entry.target;
  auto place = root.walk(relative, true);
  if (!place) return place.failure();
  const LookedAt temporary = look_at(place->folder, entry.temporary);
  if (!temporary.exists) return {};
  const std::string temporary_path = joined(place->folder, temporary.name);
  constexpr DWORD kNoFile = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
  if ((temporary.attributes & kNoFile) != 0) return Failure{"finish " + place->path + ": not our temporary file"};
  {
    // Some systems show a link to a file as the file itself (Wine does):
    // only the open file tells it lies here.
    const UniqueHandle opened(CreateFileW(to_wide(temporary_path).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!opened) {
      const DWORD error = GetLastError();
      return windows_failure("finish " + place->path, error);
    }
    if (Status here = root.check_is_at(opened.get(), temporary_path); !here)
      return Failure{"finish " + place->path + ": not our temporary file"};
  }
  touched.add(place->folder);
  const Placement placement = entry.only_if_absent ? Placement::OnlyIfAbsent : Placement::Replace;
  const auto moved = move_into_place(to_wide(temporary_path), to_wide(place->path), place->path, placement);
  if (moved && *moved == Committed::Placed) return {};
  DeleteFileW(to_wide(temporary_path).c_str());
  if (!moved) return Failure{"finish " + moved.failure().reason, moved.failure().code};
  return {};
}

}  // namespace

std::unique_ptr<PlacementRun> start_placement_run(const ProgramFolderRoot& root) {
  return std::make_unique<Win32PlacementRun>(root);
}

Status finish_interrupted_run(const ProgramFolderRoot& root) {
  const std::string shown = joined(root.path(), kPlacementJournalName);
  const auto text = read_journal(root, shown);
  if (!text) return text.failure();
  if (!*text) return {};
  Status first_failure;
  const auto entries = read_placement_journal(**text);
  if (!entries) first_failure = Failure{shown + ": " + entries.failure().reason};
  Folders touched;
  for (const JournalEntry& entry : entries ? *entries : std::vector<JournalEntry>{}) {
    if (Status done = finish_entry(root, entry, touched); !done && first_failure) first_failure = done;
  }
  // The renames are durable before the journal that would redo them goes.
  if (Status flushed = touched.flush("flush the finished run's names in"); !flushed) return flushed;
  if (!DeleteFileW(to_wide(shown).c_str())) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && first_failure) first_failure = windows_failure("remove " + shown, error);
  }
  return first_failure;
}

}  // namespace qor::win32
