// Reads the login folder into remote_listing and shows it in listing_list:
// folders first, then files, each group in the order of its lower-cased
// names; folder names in upper case, file names in lower case.
#include <algorithm>

#include "ftp/ftp_steps.hpp"
#include "ftp/listing_order.hpp"
#include "platform/ftp_transfer.hpp"
#include "portable/text/letter_case.hpp"
#include "window/controls.hpp"
#include "window/shared_variables.hpp"

namespace qor {

namespace {

// The record's name field holds 260 characters including the end mark.
constexpr std::size_t kNameField = 260;

std::size_t character_count(const std::string& utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string trim_spaces(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// A group in exchange-sort order of its lower-cased names.
std::vector<WIN32_FIND_DATA> ordered(std::vector<WIN32_FIND_DATA> group) {
  std::vector<std::string> keys;
  keys.reserve(group.size());
  for (const auto& entry : group) keys.push_back(to_lower_text(entry.cFileName));
  std::vector<WIN32_FIND_DATA> result;
  result.reserve(group.size());
  for (const std::size_t i : exchange_sort_order(keys)) result.push_back(std::move(group[i]));
  return result;
}

}  // namespace

Status read_remote_listing(const KeepGoing& keep_going) {
  auto& ftp = shared_variables().ftp;
  ftp.remote_listing.assign(1, WIN32_FIND_DATA{});
  ftp.find_data.cFileName.clear();
  // Held here: events handled while the listing arrives may replace ftp_handle.
  const auto connection = ftp.ftp_handle;
  auto find = transfer::find_first(connection.get(), ftp.find_data, keep_going);
  add_listing_entry();
  FindHandle* const handle = find ? find->get() : nullptr;
  for (;;) {
    ftp.find_data.cFileName.clear();
    if (!transfer::find_next(handle, ftp.find_data)) break;
    add_listing_entry();
  }
  // A listing that starts with a dot entry (the server's own "." or a
  // hidden file) gets no added "." and "..".
  if (ftp.remote_listing.front().cFileName.rfind('.', 0) != 0) {
    ftp.find_data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    ftp.find_data.cFileName = std::string(".\0", 2);
    add_listing_entry();
    ftp.find_data.cFileName = std::string("..\0", 3);
    add_listing_entry();
  }
  if (!find && find.failure().code != transfer::kNoMoreFiles) return find.failure();
  return {};
}

void add_listing_entry() {
  auto& ftp = shared_variables().ftp;
  std::string name = ftp.find_data.cFileName;
  const auto end = name.find('\0');
  if (end != std::string::npos) {
    name.resize(end);
  } else if (character_count(name) >= kNameField) {
    name.clear();  // would fill the field with no room left for its end
  }
  name = trim_spaces(name);
  if (name.empty()) return;
  ftp.find_data.cFileName = std::move(name);
  if (ftp.remote_listing.empty()) ftp.remote_listing.emplace_back();
  ftp.remote_listing.back() = ftp.find_data;
  ftp.remote_listing.emplace_back();
}

void show_remote_listing() {
  auto& ftp = shared_variables().ftp;
  if (ftp.remote_listing.empty()) ftp.remote_listing.emplace_back();
  const std::size_t n = ftp.remote_listing.size() - 1;
  std::vector<WIN32_FIND_DATA> folders;
  std::vector<WIN32_FIND_DATA> files;
  for (std::size_t i = 0; i < n; ++i) {
    auto& entry = ftp.remote_listing[i];
    // Exactly the directory bit: a read-only folder (17) counts as a file.
    (entry.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY ? folders : files).push_back(std::move(entry));
  }
  folders = ordered(std::move(folders));
  files = ordered(std::move(files));

  std::vector<std::string> items;
  items.reserve(n);
  std::size_t k = 0;
  for (auto& entry : folders) {
    items.push_back(to_upper_text(entry.cFileName));
    ftp.remote_listing[k++] = std::move(entry);
  }
  for (auto& entry : files) {
    items.push_back(to_lower_text(entry.cFileName));
    ftp.remote_listing[k++] = std::move(entry);
  }
  if (ftp.listing_list != nullptr) ftp.listing_list->assign(std::move(items));
}

}  // namespace qor
