#include "platform/linux/files/placement_run.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/linux/files/replacement_file.hpp"
#include "portable/stop_point.hpp"
#include "portable/transfer/placement_journal.hpp"

namespace qor {
namespace {

// A journal larger than this was not written by a run.
constexpr off_t kLargestJournal = off_t{16} << 20;

// One open folder per file system the run wrote to, for its syncfs.
class FileSystems {
 public:
  void add(int folder) {
    struct stat st {};
    if (::fstat(folder, &st) != 0) return;
    for (const Known& known : known_)
      if (known.device == st.st_dev) return;
    UniqueFd listing = open_for_listing(folder);
    if (listing.get() >= 0) known_.push_back({st.st_dev, std::move(listing)});
  }
  // Flushes each: the data, the names and the times written there so far.
  Status sync(const std::string& what) const {
    for (const Known& known : known_)
      if (::syncfs(known.listing.get()) != 0) return failure_from_errno(what, errno);
    return {};
  }

 private:
  struct Known {
    dev_t device;
    UniqueFd listing;  // syncfs needs a descriptor opened for reading
  };
  std::vector<Known> known_;
};

UniqueFd duplicate(int fd) { return UniqueFd(fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1); }

class PosixPlacementRun final : public PlacementRun {
 public:
  PosixPlacementRun(UniqueFd root, std::string root_path) : root_(std::move(root)), root_path_(std::move(root_path)) {}

  Status hold(std::unique_ptr<ReplacementFile> file, const Placing& placing) override {
    auto* own = dynamic_cast<PosixReplacementFile*>(file.get());
    if (own == nullptr) return Failure{"hold a file: it was not started by this file system"};
    if (Status finished = own->finish(placing); !finished) return finished;
    std::unique_ptr<PosixReplacementFile> owned(own);
    (void)file.release();  // now owned by `owned`
    held_.push_back({std::move(owned), placing.placement});
    return {};
  }

  std::size_t held() const override { return held_.size(); }

  std::vector<Result<Committed>> place_all() override {
    std::vector<Held> held = std::move(held_);
    held_.clear();
    std::vector<Result<Committed>> results(held.size(), Committed::Placed);
    // Each file's write-back has run beside the others'; the waits end
    // together, and a file that could not be written is dropped.
    for (std::size_t i = 0; i < held.size(); ++i) {
      if (Status written = held[i].file->wait_until_written(); !written) drop(held[i], results[i], written.failure());
    }
    std::vector<JournalEntry> entries;
    for (std::size_t i = 0; i < held.size(); ++i) {
      if (!held[i].file) continue;
      written_to_.add(held[i].file->folder());
      auto entry = journal_entry(*held[i].file, held[i].placement);
      if (!entry) {
        drop(held[i], results[i], entry.failure());
        continue;
      }
      entries.push_back(std::move(*entry));
    }
    if (entries.empty()) return results;
    // The bytes are durable before any name points at them, and the
    // journal is before the first rename.
    Status ready = written_to_.sync("flush the downloads to the disk in " + root_path_);
    if (ready) stop_point(kStopAfterFlush);
    if (ready) ready = write_journal(entries);
    if (ready) stop_point(kStopAfterJournal);
    std::size_t renamed = 0;
    for (std::size_t i = 0; i < held.size(); ++i) {
      if (!held[i].file) continue;
      if (!ready) {
        drop(held[i], results[i], ready.failure());
        continue;
      }
      results[i] = held[i].file->place(held[i].placement);
      held[i].file.reset();
      stop_point(kStopAfterRename, static_cast<long>(++renamed));
    }
    return results;
  }

  Status settle() override {
    if (!journal_written_) return {};
    Status synced = written_to_.sync("flush the placed files to the disk in " + root_path_);
    // A journal left behind by a failed flush is read at the next start:
    // its renames are done, so it only goes then.
    if (!synced) return synced;
    stop_point(kStopBeforeJournalGoes);
    journal_written_ = false;
    if (::unlinkat(root_.get(), kPlacementJournalName, 0) != 0 && errno != ENOENT)
      return failure_from_errno("remove the placement journal in " + root_path_, errno);
    return {};
  }

 private:
  struct Held {
    std::unique_ptr<PosixReplacementFile> file;
    Placement placement;
  };

  static void drop(Held& held, Result<Committed>& result, Failure why) {
    held.file.reset();  // the temporary file goes, the old file stays
    result = std::move(why);
  }

  Result<JournalEntry> journal_entry(const PosixReplacementFile& file, Placement placement) const {
    const std::string& target = file.target();
    const std::string prefix = root_path_ == "/" ? "/" : root_path_ + "/";
    const std::size_t name_at = target.size() - file.name().size();
    if (!target.starts_with(prefix) || name_at < prefix.size() ||
        target.compare(name_at, std::string::npos, file.name()) != 0)
      return Failure{"place " + target + ": not below the program folder " + root_path_};
    std::string folder = target.substr(prefix.size(), name_at - prefix.size());
    if (folder.ends_with('/')) folder.pop_back();
    return JournalEntry{placement == Placement::OnlyIfAbsent, std::move(folder), file.temporary_name(), file.name()};
  }

  Status write_journal(const std::vector<JournalEntry>& entries) {
    const auto text = write_placement_journal(entries);
    if (!text) return text.failure();
    auto journal =
        start_replacement(duplicate(root_.get()), kPlacementJournalName, root_path_ + "/" + kPlacementJournalName);
    if (!journal) return journal.failure();
    auto& file = static_cast<PosixReplacementFile&>(**journal);
    file.set_mode(0600);
    if (Status written = file.write(text->data(), text->size()); !written) return written;
    const auto committed = file.commit(Placement::Replace);
    if (!committed) return committed.failure();
    journal_written_ = true;
    return {};
  }

  UniqueFd root_;
  std::string root_path_;
  std::vector<Held> held_;
  FileSystems written_to_;
  bool journal_written_ = false;
};

Result<std::string> read_journal(int root, const std::string& shown) {
  const UniqueFd fd(::openat(root, kPlacementJournalName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) return failure_from_errno("read " + shown, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return failure_from_errno("read " + shown, errno);
  if (!S_ISREG(st.st_mode) || st.st_size > kLargestJournal) return Failure{"read " + shown + ": not a journal"};
  std::string text(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t have = 0;
  while (have < text.size()) {
    const ssize_t n = ::read(fd.get(), text.data() + have, text.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failure_from_errno("read " + shown, errno);
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  text.resize(have);
  return text;
}

// One entry of the journal: a temporary file still there is put in place as
// the run meant it; one that is gone was placed (or dropped) already.
Status finish_entry(const ProgramFolderRoot& root, const JournalEntry& entry, FileSystems& touched) {
  const std::string relative = entry.folder.empty() ? entry.target : entry.folder + "/" + entry.target;
  auto place = root.walk(relative);
  if (!place) return place.failure();
  const int folder = place->folder.get();
  touched.add(folder);
  const std::string& shown = place->path;
  struct stat st {};
  if (::fstatat(folder, entry.temporary.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {};
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return Failure{"finish " + shown + ": not our temporary file"};
  const auto drop = [&] { ::unlinkat(folder, entry.temporary.c_str(), 0); };
  if (entry.only_if_absent) {
    if (place_taken(folder, place->name)) {
      drop();
      return {};
    }
    if (::renameat2(folder, entry.temporary.c_str(), folder, place->name.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno == EEXIST) {
      drop();
      return {};
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return failure_from_errno("finish " + shown, errno);
    if (::linkat(folder, entry.temporary.c_str(), folder, place->name.c_str(), 0) != 0 && errno != EEXIST)
      return failure_from_errno("finish " + shown, errno);
    drop();
    return {};
  }
  if (place->exists && S_ISLNK(place->st.st_mode)) {
    drop();
    return Failure{"finish " + shown + ": a symbolic link is in the way", ELOOP};
  }
  if (::renameat(folder, entry.temporary.c_str(), folder, place->name.c_str()) != 0)
    return failure_from_errno("finish " + shown, errno);
  return {};
}

}  // namespace

std::unique_ptr<PlacementRun> start_placement_run(const ProgramFolderRoot& root) {
  return std::make_unique<PosixPlacementRun>(duplicate(root.fd()), root.path());
}

Status finish_interrupted_run(const ProgramFolderRoot& root) {
  if (root.fd() < 0) return root.walk("").failure();
  const std::string shown = root.path() + "/" + kPlacementJournalName;
  struct stat st {};
  if (::fstatat(root.fd(), kPlacementJournalName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return {};
    return failure_from_errno("look at " + shown, errno);
  }
  const auto text = read_journal(root.fd(), shown);
  if (!text) return text.failure();
  Status first_failure;
  const auto entries = read_placement_journal(*text);
  if (!entries) first_failure = Failure{shown + ": " + entries.failure().reason};
  FileSystems touched;
  touched.add(root.fd());
  for (const JournalEntry& entry : entries ? *entries : std::vector<JournalEntry>{}) {
    if (Status done = finish_entry(root, entry, touched); !done && first_failure) first_failure = done;
  }
  // The renames are durable before the journal that would redo them goes.
  if (Status synced = touched.sync("flush the finished run to the disk in " + root.path()); !synced) return synced;
  if (::unlinkat(root.fd(), kPlacementJournalName, 0) != 0 && errno != ENOENT && first_failure)
    first_failure = failure_from_errno("remove " + shown, errno);
  return first_failure;
}

}  // namespace qor
