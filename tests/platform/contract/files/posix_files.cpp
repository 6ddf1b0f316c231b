// The file-system suite on a POSIX system: errno codes, symbolic links,
// permission bits, times to the nanosecond.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tests/platform/contract/files/platform_files.hpp"

namespace qor::test {

namespace {

timespec timespec_of(std::chrono::system_clock::time_point when) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(when);
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(when - seconds);
  return {static_cast<time_t>(seconds.time_since_epoch().count()), static_cast<long>(nanoseconds.count())};
}

std::chrono::system_clock::time_point time_of(const timespec& t) {
  return std::chrono::system_clock::time_point{std::chrono::seconds{t.tv_sec} + std::chrono::nanoseconds{t.tv_nsec}};
}

struct stat lstat_of(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) throw std::runtime_error("no file " + path);
  return st;
}

}  // namespace

const FailureCodes& failure_codes() {
  static const FailureCodes codes{ENOENT, ENOENT, EEXIST, EACCES, ELOOP, EPERM};
  return codes;
}

std::string system_words(long code) { return std::strerror(static_cast<int>(code)); }

bool names_may_differ_in_case_only() { return true; }

bool folds_final_sigma() { return true; }

bool links_to_files_show() { return true; }

std::filesystem::path native(const std::string& path) { return std::filesystem::path(path); }

std::optional<std::string> make_link(const std::string& link, const std::string& target) {
  if (::symlink(target.c_str(), link.c_str()) == 0) return std::nullopt;
  return "symlink " + link + ": " + std::strerror(errno);
}

void remove_link(const std::string& link) { ::unlink(link.c_str()); }

bool is_link(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

Protection protection_of(const std::string& path) { return lstat_of(path).st_mode & 07777; }

void protect(const std::string& path, Protection protection) {
  if (::chmod(path.c_str(), static_cast<mode_t>(protection)) != 0) throw std::runtime_error("cannot chmod " + path);
}

std::vector<Protection> read_only_protections() { return {0444, 0400, 04555}; }

// Permissions carry over; set-user-ID and set-group-ID do not, so that a
// replaced file never runs with its owner's rights.
std::vector<std::pair<Protection, Protection>> replaced_protections() {
  return {{0750, 0750}, {06755, 0755}, {02711, 0711}};
}

// Execute where read is granted.
std::vector<std::pair<Protection, Protection>> startable_protections() {
  return {{0644, 0755}, {0600, 0700}, {0640, 0750}, {0755, 0755}};
}

FileTimes times_of(const std::string& path) {
  const struct stat st = lstat_of(path);
  return {time_of(st.st_atim), time_of(st.st_mtim), std::nullopt};
}

void set_times(const std::string& path, std::chrono::system_clock::time_point access,
               std::chrono::system_clock::time_point write) {
  const timespec t[2] = {timespec_of(access), timespec_of(write)};
  if (::utimensat(AT_FDCWD, path.c_str(), t, AT_SYMLINK_NOFOLLOW) != 0)
    throw std::runtime_error("cannot set the times of " + path);
}

std::string pe_fixture(const std::string& name) {
  const std::string folder = QOR_PE_FIXTURES;
  return folder.empty() ? std::string() : folder + "/" + name + ".exe";
}

}  // namespace qor::test
