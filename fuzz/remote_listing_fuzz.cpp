// The real listing steps (read, clean, order, show) on entries a server
// could send: names with NUL bytes, spaces around them, dots, 260 characters
// and more, any letter case, folders with extra attribute bits. The result
// is compared with a model written straight from the listing's rules,
// sorting with the literal exchange sort over space-filled keys.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "ftp/ftp_steps.hpp"
#include "fuzz/fake_transfer.hpp"
#include "fuzz/fuzz_check.hpp"
#include "portable/text/letter_case.hpp"
#include "window/controls.hpp"
#include "window/shared_variables.hpp"

namespace {

using qor::WIN32_FIND_DATA;
using qor::fuzz::check;

constexpr std::size_t kNameField = 260;
constexpr std::size_t kMaxEntries = 12;

struct Entry {
  std::uint32_t attributes;
  std::string name;
  std::uint32_t tag;  // 0 for the added dot entries
};

std::string model_clean(const std::string& raw) {
  std::string name = raw;
  const auto nul = name.find('\0');
  const auto characters = std::count_if(name.begin(), name.end(), [](char c) { return (c & 0xC0) != 0x80; });
  if (nul != std::string::npos) {
    name.resize(nul);
  } else if (static_cast<std::size_t>(characters) >= kNameField) {
    return {};
  }
  const auto first = name.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

std::vector<Entry> literal_sort(std::vector<Entry> group) {
  std::vector<std::string> keys;
  std::size_t width = kNameField;
  for (const auto& e : group) width = std::max(width, qor::to_lower_text(e.name).size());
  for (const auto& e : group) {
    std::string key = qor::to_lower_text(e.name);
    keys.push_back(key + std::string(width - key.size(), ' '));
  }
  const std::size_t m = group.size();
  for (std::size_t a = 0; a < m; ++a)
    for (std::size_t b = 0; b < m; ++b)
      if (keys[b] > keys[a]) {
        std::swap(keys[a], keys[b]);
        std::swap(group[a], group[b]);
      }
  return group;
}

std::string make_name(FuzzedDataProvider& in) {
  if (in.ConsumeIntegralInRange(0, 3) != 0) return in.ConsumeRandomLengthString(300);
  // Around the field's 260 characters, in one- and two-byte characters.
  static const char* const kUnits[] = {"x", "\xC3\xA9", " ", "\xC3\x89"};
  const std::string unit = kUnits[in.ConsumeIntegralInRange(0, 3)];
  std::string name;
  for (std::size_t n = in.ConsumeIntegralInRange<std::size_t>(125, 270); n > 0; --n) name += unit;
  return name + in.ConsumeRandomLengthString(8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  static constexpr std::uint32_t kAttributes[] = {16, 128, 17, 0, 48};
  std::vector<WIN32_FIND_DATA> served;
  while (in.remaining_bytes() > 0 && served.size() < kMaxEntries) {
    WIN32_FIND_DATA entry;
    entry.dwFileAttributes = in.PickValueInArray(kAttributes);
    entry.cFileName = make_name(in);
    entry.nFileSizeLow = static_cast<std::uint32_t>(served.size() + 1);
    served.push_back(entry);
  }

  std::vector<Entry> model;
  for (const auto& e : served) {
    const std::string name = model_clean(e.cFileName);
    if (!name.empty()) model.push_back({e.dwFileAttributes, name, e.nFileSizeLow});
  }
  if (model.empty() || model.front().name[0] != '.') {
    model.push_back({16, ".", 0});
    model.push_back({16, "..", 0});
  }
  std::vector<Entry> folders, files;
  for (const auto& e : model) (e.attributes == 16 ? folders : files).push_back(e);
  std::vector<Entry> expected = literal_sort(folders);
  std::vector<std::string> expected_items;
  for (const auto& e : expected) expected_items.push_back(qor::to_upper_text(e.name));
  for (const auto& e : literal_sort(files)) {
    expected.push_back(e);
    expected_items.push_back(qor::to_lower_text(e.name));
  }

  qor::shared_variables() = qor::SharedVariables{};
  qor::ListBox list4("List4");
  auto& ftp = qor::shared_variables().ftp;
  ftp.listing_list = &list4;
  qor::fuzz::set_fake_listing(std::move(served));
  check(static_cast<bool>(qor::read_remote_listing()), "a listing handed out whole is no failure");
  qor::show_remote_listing();
  ftp.listing_list = nullptr;

  check(list4.texts() == expected_items, "the shown names, their case and order follow the listing rules");
  const auto& listing = ftp.remote_listing;
  check(listing.size() == expected.size() + 1, "one record per entry and the blank slot");
  check(listing.back().cFileName.empty() && listing.back().dwFileAttributes == 0, "the top slot stays blank");
  for (std::size_t i = 0; i < expected.size(); ++i) {
    check(listing[i].cFileName == expected[i].name && listing[i].dwFileAttributes == expected[i].attributes,
          "records are stored cleaned, in display order");
    if (expected[i].tag != 0) check(listing[i].nFileSizeLow == expected[i].tag, "records move whole");
  }
  qor::shared_variables() = qor::SharedVariables{};
  return 0;
}
