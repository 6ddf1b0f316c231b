#include "platform/linux/files/folded_names.hpp"

#include <sys/inotify.h>
#include <sys/statfs.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "platform/linux/files/program_folder_root.hpp"
#include "portable/text/letter_case.hpp"

namespace qor {
namespace {

// Entries changed this recently may not show in the folder's time stamps
// (coarse file-system clocks, two-second ones on FAT).
constexpr std::time_t kUnsettledSeconds = 3;

constexpr std::uint32_t kEntryChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

bool operator==(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// File systems that only this machine's kernel changes, so that it sees
// every change made to them. Over the network (NFS, SMB, FUSE and the like)
// another machine's changes pass it by.
bool kernel_sees_every_change(int folder) {
  struct statfs fs {};
  if (::fstatfs(folder, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // xfs
    case 0x9123683E:  // btrfs
    case 0x01021994:  // tmpfs
    case 0xF2F52010:  // f2fs
    case 0x4D44:      // FAT
    case 0x2011BAB0:  // exFAT
    case 0x5346544E:  // NTFS (ntfs-3g is FUSE and not among these)
    case 0x7366746E:  // ntfs3
    case 0x2FC12FC1:  // zfs
    case 0xCA451A4E:  // bcachefs
    case 0x794C7630:  // overlay
    case 0x3153464A:  // jfs
    case 0x52654973:  // reiserfs
    case 0x482B:      // HFS+
      return true;
    default:
      return false;
  }
}

}  // namespace

void FoldedNames::Listing::add(const std::string& name) {
  auto& names = by_folded[fold_case_text(name)];
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

void FoldedNames::Listing::remove(const std::string& name) {
  const auto it = by_folded.find(fold_case_text(name));
  if (it == by_folded.end()) return;
  std::erase(it->second, name);
  if (it->second.empty()) by_folded.erase(it);
}

FoldedNames::FoldedNames(std::size_t max_watched) : max_watched_(max_watched) {}

void FoldedNames::forget(std::map<Key, Listing>::iterator listing) {
  if (listing->second.watch >= 0) {
    ::inotify_rm_watch(changes_.get(), listing->second.watch);
    watched_.erase(listing->second.watch);
  }
  listings_.erase(listing);
}

void FoldedNames::forget_all() {
  while (!listings_.empty()) forget(listings_.begin());
}

void FoldedNames::take_in_changes() {
  if (watched_.empty()) return;
  alignas(inotify_event) std::array<char, std::size_t{64} << 10> buffer;
  for (;;) {
    const ssize_t n = ::read(changes_.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // Nothing more to tell (EAGAIN). Any other failure leaves changes
      // untold: no listing can be trusted then.
      if (n == 0 || errno != EAGAIN) forget_all();
      return;
    }
    for (ssize_t at = 0; at < n;) {
      inotify_event event{};
      std::memcpy(&event, buffer.data() + at, sizeof event);
      const char* name = buffer.data() + at + sizeof event;
      at += static_cast<ssize_t>(sizeof event + event.len);
      if ((event.mask & IN_Q_OVERFLOW) != 0) {
        forget_all();
        continue;
      }
      const auto folder = watched_.find(event.wd);
      if (folder == watched_.end()) continue;
      const auto listing = listings_.find(folder->second);
      if ((event.mask & IN_IGNORED) != 0) {
        // The folder is gone (or its file system): the watch went with it.
        watched_.erase(folder);
        if (listing != listings_.end()) listings_.erase(listing);
        continue;
      }
      if (listing == listings_.end() || event.len == 0) continue;
      const std::string entry(name, ::strnlen(name, event.len));
      if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) listing->second.add(entry);
      if ((event.mask & (IN_DELETE | IN_MOVED_FROM)) != 0) listing->second.remove(entry);
    }
  }
}

// The watch descriptor for `folder`, or -1 when changes there cannot all be
// told.
int FoldedNames::watch(int folder) {
  if (watched_.size() >= max_watched_ || !kernel_sees_every_change(folder)) return -1;
  // Opened with the first folder: the system allows each user few of them.
  if (changes_.get() < 0) changes_ = UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (changes_.get() < 0) return -1;
  // The descriptor is opened O_PATH; its /proc link names the folder itself
  // (the watch needs read permission there, as the listing does).
  const std::string self = "/proc/self/fd/" + std::to_string(folder);
  return ::inotify_add_watch(changes_.get(), self.c_str(), kEntryChanges);
}

std::vector<std::string> FoldedNames::matching(int folder, const std::string& name) {
  take_in_changes();
  struct stat st {};
  if (::fstat(folder, &st) != 0) return entries_matching(folder, name);
  const Key key{st.st_dev, st.st_ino};
  auto it = listings_.find(key);
  if (it != listings_.end() && it->second.watch < 0 &&
      (!(it->second.modified == st.st_mtim) || !(it->second.changed == st.st_ctim))) {
    forget(it);
    it = listings_.end();
  }
  if (it == listings_.end()) {
    const int watch_descriptor = watch(folder);
    if (watch_descriptor < 0) {
      timespec now{};
      ::clock_gettime(CLOCK_REALTIME, &now);
      if (st.st_ctim.tv_sec + kUnsettledSeconds > now.tv_sec || st.st_mtim.tv_sec + kUnsettledSeconds > now.tv_sec)
        return entries_matching(folder, name);
    } else {
      // A watch already held for this folder under a stale listing.
      if (const auto old = watched_.find(watch_descriptor); old != watched_.end()) {
        listings_.erase(old->second);
        watched_.erase(old);
      }
      watched_.emplace(watch_descriptor, key);
    }
    // Read after the watch is set: a change the listing misses is told,
    // and one it has already is told again to no effect.
    Listing listing{st.st_mtim, st.st_ctim, watch_descriptor, {}};
    for (const auto& entry : entries_matching(folder, "")) listing.add(entry);
    it = listings_.insert_or_assign(key, std::move(listing)).first;
  }
  const auto found = it->second.by_folded.find(fold_case_text(name));
  if (found == it->second.by_folded.end()) return {};
  return found->second;
}

}  // namespace qor
