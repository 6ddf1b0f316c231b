// What the file-system suite needs from the system it runs on, beside the
// interface under test: each platform's codes and words for the failures it
// names, links (a symbolic link, or a junction for a folder on Windows),
// protections (permission bits, or attributes) and file times read and set
// natively. One implementation per platform: posix_files.cpp, win32_files.cpp.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qor::test {

// The codes in Failure::code for what the interface tells apart.
struct FailureCodes {
  long file_not_found;    // the last part of the path is missing
  long folder_not_found;  // a folder on the way is missing
  long already_exists;    // a file stands where a folder is to be made
  long write_protected;   // a read-only file is to be replaced
  long link_in_the_way;   // a link below the program folder
  long outside;           // a write outside the program folder
};
const FailureCodes& failure_codes();

// The words the system has for `code`, which the reason carries.
std::string system_words(long code);

// False where the disk ignores letter case, so that two names differing in
// it only cannot stand side by side.
bool names_may_differ_in_case_only();

// False where the final sigma (U+03C2) is not the same letter as the
// capital sigma in names.
bool folds_final_sigma();

// False where the system shows a link to a file as the file itself (in
// its attributes and listings), so that only where the open file really
// is tells it is a link.
bool links_to_files_show();

// The path for std::filesystem calls, its UTF-8 kept.
std::filesystem::path native(const std::string& path);

// Makes `link` (not there yet) lead to `target`, a file or a folder; the
// reason when it could not.
std::optional<std::string> make_link(const std::string& link, const std::string& target);
// Removes the link itself, never what it leads to.
void remove_link(const std::string& link);
// True when `path` is a link (also one the system shows as its target).
bool is_link(const std::string& path);

// The protection of a file: permission bits, or the attributes.
using Protection = unsigned long;
Protection protection_of(const std::string& path);
void protect(const std::string& path, Protection protection);
// Read-only protections, each to come back exactly after a stamp.
std::vector<Protection> read_only_protections();
// A protection of the file that is replaced, and the one its replacement gets.
std::vector<std::pair<Protection, Protection>> replaced_protections();
// A protection before make_startable, and the one after it.
std::vector<std::pair<Protection, Protection>> startable_protections();

// The times of a file as the system keeps them; creation only where the
// system keeps one of its own.
struct FileTimes {
  std::chrono::system_clock::time_point access, write;
  std::optional<std::chrono::system_clock::time_point> creation;
};
FileTimes times_of(const std::string& path);
void set_times(const std::string& path, std::chrono::system_clock::time_point access,
               std::chrono::system_clock::time_point write);

// A PE image built for the tests, or the empty text where none was built.
std::string pe_fixture(const std::string& name);

}  // namespace qor::test
