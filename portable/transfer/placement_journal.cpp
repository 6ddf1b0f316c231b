#include "portable/transfer/placement_journal.hpp"

#include <algorithm>

#include "portable/text/control_characters.hpp"
#include "portable/transfer/download_names.hpp"

namespace qor {
namespace {

constexpr std::string_view kFirstLine = "qor placement journal 1";
// The last line says the journal was written to its end.
constexpr std::string_view kLastLine = "end";

bool holds_separator_or_control(std::string_view name) {
  return name.find_first_of("/\\") != std::string_view::npos || holds_control_character(name);
}

bool is_plain_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && !holds_separator_or_control(name);
}

// Every name of the folder is a plain name; the empty folder is the program folder.
bool is_folder_below(std::string_view folder) {
  if (folder.empty()) return true;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = folder.find('/', start);
    const std::string_view name = folder.substr(start, slash == std::string_view::npos ? slash : slash - start);
    if (!is_plain_name(name)) return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

Failure refused(const std::string& why) { return Failure{"the placement journal " + why}; }

}  // namespace

Result<std::string> write_placement_journal(const std::vector<JournalEntry>& entries) {
  std::string text(kFirstLine);
  text += '\n';
  for (const JournalEntry& entry : entries) {
    if (!is_folder_below(entry.folder) || !is_download_leftover_name(entry.temporary) || !is_plain_name(entry.target))
      return refused("cannot hold the place " + entry.folder + "/" + entry.target);
    text += entry.only_if_absent ? 'A' : 'R';
    text.append("\t").append(entry.folder).append("\t").append(entry.temporary).append("\t").append(entry.target);
    text += '\n';
  }
  text.append(kLastLine).append("\n");
  return text;
}

Result<std::vector<JournalEntry>> read_placement_journal(std::string_view text) {
  if (text.empty() || text.back() != '\n') return refused("is not whole");
  std::vector<std::string_view> lines = split(text.substr(0, text.size() - 1), '\n');
  if (lines.front() != kFirstLine) return refused("is of an unknown form");
  if (lines.size() < 2 || lines.back() != kLastLine) return refused("is not whole");
  std::vector<JournalEntry> entries;
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    const auto fields = split(lines[i], '\t');
    const bool known = fields.size() == 4 && (fields[0] == "R" || fields[0] == "A");
    if (!known || !is_folder_below(fields[1]) || !is_download_leftover_name(std::string(fields[2])) ||
        !is_plain_name(fields[3]))
      return refused("has an unreadable line " + std::to_string(i + 1));
    entries.push_back({fields[0] == "A", std::string(fields[1]), std::string(fields[2]), std::string(fields[3])});
  }
  return entries;
}

}  // namespace qor
