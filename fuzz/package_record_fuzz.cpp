// A package answer as the install and update lists take it: records into a
// list, fields read per row, and the places on disk built from them. Also
// every record as a new-package folder name and as a caption colour.
//
// Oracles: the fields the record parse hands the version check at a row
// equal a plain left-to-right fold over the rows up to it (nothing reset
// between rows); a place that is accepted lies lexically inside the program
// folder, names a file below it and holds no NUL; a colour is accepted
// exactly for [+-]digits within 32 bits, white space around them ignored.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.hpp"
#include "install/package_fields.hpp"
#include "install/package_place.hpp"
#include "platform/file_system.hpp"
#include "server/answer_grammar.hpp"
#include "server/caption_colour.hpp"
#include "server/package_name.hpp"
#include "server/server_steps.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace {

using qor::fuzz::check;

constexpr std::string_view kProgramFolder = "/srv/qor/app/";
constexpr int kMaxRows = 64;

class NoHost : public qor::FormHost {
 public:
  qor::MsgResult MsgBox(const std::string&, qor::MsgButtons, const std::string&) override { return qor::MsgResult::OK; }
  void DoEvents() override {}
  void Unload() override {}
  bool closed() const override { return false; }
};

// Numbers are read without the white space around them.
std::string_view trimmed(std::string_view v) {
  constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
  while (!v.empty() && kWhiteSpace.find(v.front()) != std::string_view::npos) v.remove_prefix(1);
  while (!v.empty() && kWhiteSpace.find(v.back()) != std::string_view::npos) v.remove_suffix(1);
  return v;
}

// Depth of `path` below `folder` after resolving "." and ".." by text
// alone; -1 when it is not below `folder` or climbs out of it.
int depth_below(std::string_view path, std::string_view folder) {
  if (!path.starts_with(folder)) return -1;
  int depth = 0;
  for (std::string_view rest = path.substr(folder.size()); !rest.empty();) {
    const auto slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (--depth < 0) return -1;
    } else {
      ++depth;
    }
  }
  return depth;
}

bool has_dot_dot_part(std::string_view path) {
  for (auto part : qor::answer::split(path, "/"))
    if (part == "..") return true;
  return false;
}

// [+-]digits that fit 32 bits, read without the library's number parsers.
std::optional<std::int64_t> plain_integer(std::string_view text, std::int64_t min, std::int64_t max) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > max + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < min || value > max) return std::nullopt;
  return value;
}

void check_colour(std::string_view text) {
  const auto parsed = qor::parse_colour(text);
  const auto expected =
      plain_integer(trimmed(text), std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
  check(parsed.has_value() == expected.has_value(), "a colour is accepted exactly for [+-]digits in 32 bits");
  if (parsed) check(*parsed == *expected, "a colour has the value of its digits");
}

// The SQLite3 placement: the line's last "st=" value, white space around
// it ignored, equal to 10.
bool sqlite_placement(std::string_view line) {
  std::optional<std::string_view> last;
  for (auto field : qor::answer::split(line, "|"))
    if (field.starts_with("st=")) last = field.substr(3);
  if (!last) return false;
  const std::string_view v = trimmed(*last);
  const auto n = plain_integer(v, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max());
  return n && *n == qor::kPlacementSQLite3;
}

void check_place(const qor::PackageFields& f) {
  const auto place = qor::package_place(std::string(kProgramFolder), f.file, f.path, f.placement);
  const bool plain = !f.file.empty() && f.path.size() < 40 &&
                     f.file.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos &&
                     f.path.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos;
  if (plain) check(place.has_value(), "a plain name in a plain folder is accepted");
  if (!place) return;
  const std::string& file = place->local_file;
  check(file.find('\0') == std::string::npos, "an accepted place holds no NUL");
  check(!has_dot_dot_part(file.substr(kProgramFolder.size() - 1)), "an accepted place has no \"..\" part");
  check(depth_below(file, kProgramFolder) >= 1, "an accepted file lies below the program folder");
  check(depth_below(place->local_folder + "/", kProgramFolder) >= 0, "its folder lies inside the program folder");
  check(file == place->local_folder + "/" + f.file, "the file is the record's name in its folder");
  if (f.placement == qor::kPlacementSQLite3) check(place->local_folder.ends_with("/SQLite3"), "placement 10");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static NoHost host;
  static qor::QOR_sync_FRM form({&host, nullptr, std::string(kProgramFolder)});
  qor::shared_variables() = qor::SharedVariables{};
  form.List1.Clear();
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  for (const std::string_view record : qor::answer::record_list(answer)) {
    if (form.List1.ListCount() == kMaxRows) break;
    form.List1.AddItem(std::string(record));
  }
  // What the record parse hands the version check, row by row.
  std::vector<qor::PackageFields> seen;
  form.steps.check_package_due = [&seen] {
    const qor::QOR_sync_MOD& m = qor::shared_variables().mod;
    seen.push_back({m.package_file, m.package_path, m.package_version, m.package_kind, 0});
  };
  qor::parse_package_records(form);
  check(static_cast<int>(seen.size()) == form.List1.ListCount(), "the check runs once per row");

  qor::PackageFields folded;
  for (int row = 0; row < form.List1.ListCount(); ++row) {
    const std::string& line = form.List1.List(row);
    qor::apply_record_fields(line, folded);
    const qor::PackageFields& at = seen[static_cast<std::size_t>(row)];
    check(at.file == folded.file && at.path == folded.path && at.version == folded.version && at.kind == folded.kind,
          "the fields at a row are the left-to-right fold up to it");
    check(folded.placement == qor::placement_of(line), "the placement is the row's own");
    check((folded.placement == qor::kPlacementSQLite3) == sqlite_placement(line), "placement 10 from the last \"st=\"");
    check_place(folded);

    if (qor::stays_inside_program_folder(line)) {
      const std::string folder = qor::local_path(std::string(kProgramFolder) + line + "\\");
      check(line.find('\0') == std::string::npos, "an accepted folder name holds no NUL");
      check(depth_below(folder, kProgramFolder) >= 0, "an accepted folder name stays inside the program folder");
    }
    check_colour(line);
  }
  return 0;
}
