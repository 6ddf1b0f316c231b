#include "portable/release/release_manifest.hpp"

#include <array>
#include <limits>
#include <set>

#include "portable/text/control_characters.hpp"
#include "portable/text/text_encoding.hpp"

namespace qor::release {
namespace {

constexpr std::string_view kFormLine = "qor-release-manifest 1";
constexpr std::string_view kFormWord = "qor-release-manifest ";
constexpr std::string_view kEndLine = "end";
constexpr std::string_view kNamePrefix = "qor-release-";
constexpr std::string_view kManifestSuffix = ".manifest";
constexpr std::string_view kSignatureSuffix = ".sig";
constexpr char kHexDigits[] = "0123456789abcdef";

// A number as the writer writes it: decimal digits, no sign, no leading
// zero, at most 2^64 - 1. Any other spelling of a number would let two texts
// (and two signatures) stand for one manifest.
std::optional<std::uint64_t> decimal(std::string_view text) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::string hex(const crypto::Sha256Digest& digest) {
  std::string out;
  out.reserve(digest.size() * 2);
  for (const std::uint8_t byte : digest) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xF];
  }
  return out;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<crypto::Sha256Digest> digest_of(std::string_view text) {
  crypto::Sha256Digest digest{};
  if (text.size() != digest.size() * 2) return std::nullopt;
  for (std::size_t i = 0; i < digest.size(); ++i) {
    const int high = hex_value(text[2 * i]);
    const int low = hex_value(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    digest[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return digest;
}

bool digits_in_range(std::string_view text, std::size_t at, std::size_t count, int low, int high) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return value >= low && value <= high;
}

// "YYYY-MM-DDTHH:MM:SSZ"
bool is_utc_date(std::string_view text) {
  if (text.size() != 20) return false;
  for (const auto& [at, c] :
       std::array<std::pair<std::size_t, char>, 6>{{{4, '-'}, {7, '-'}, {10, 'T'}, {13, ':'}, {16, ':'}, {19, 'Z'}}}) {
    if (text[at] != c) return false;
  }
  return digits_in_range(text, 0, 4, 0, 9999) && digits_in_range(text, 5, 2, 1, 12) &&
         digits_in_range(text, 8, 2, 1, 31) && digits_in_range(text, 11, 2, 0, 23) &&
         digits_in_range(text, 14, 2, 0, 59) && digits_in_range(text, 17, 2, 0, 59);
}

// A file of one FTP folder: a bare name.
bool is_bare_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string_view::npos;
}

// The start of a line for a message: short, cut between characters.
std::string shown(std::string_view line) {
  constexpr std::size_t kShown = 60;
  if (line.size() <= kShown) return std::string(line);
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
  return std::string(line.substr(0, cut)) + "...";
}

Failure untrusted(const std::string& why) { return Failure{"the release manifest " + why}; }
Failure at_line(std::size_t number, const std::string& why) {
  return untrusted("line " + std::to_string(number) + ": " + why);
}

// The items after "main", in the order they are written.
enum class Item { New, Install, Update, File };
constexpr std::array<std::pair<std::string_view, Item>, 4> kItems = {
    {{"new ", Item::New}, {"install ", Item::Install}, {"update ", Item::Update}, {"file ", Item::File}}};

}  // namespace

const ManifestFile* ReleaseManifest::file(std::string_view name) const {
  for (const ManifestFile& f : files)
    if (f.name == name) return &f;
  return nullptr;
}

std::string write_manifest(const ReleaseManifest& manifest) {
  std::string text(kFormLine);
  text += "\nsequence " + std::to_string(manifest.sequence) + "\ndate " + manifest.date + "\nmain " +
          manifest.main_program + "\n";
  for (const std::string& folder : manifest.new_folders) text.append("new ").append(folder).append("\n");
  for (const std::string& record : manifest.install_records) text.append("install ").append(record).append("\n");
  for (const std::string& record : manifest.update_records) text.append("update ").append(record).append("\n");
  for (const ManifestFile& f : manifest.files) {
    text.append("file ").append(std::to_string(f.size)).append(" ").append(hex(f.sha256)).append(" ");
    text.append(f.name).append("\n");
  }
  text.append(kEndLine).append("\n");
  return text;
}

Result<ReleaseManifest> read_manifest(std::string_view text) {
  if (text.empty()) return untrusted("is empty");
  if (!is_valid_utf8(text)) return untrusted("is not UTF-8 text");

  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (holds_control_character(lines[i])) return at_line(i + 1, "holds a control character");
  }
  if (lines.front() != kFormLine) {
    if (lines.front().starts_with(kFormWord))
      return untrusted("is of the form \"" + shown(lines.front()) + "\", not \"" + std::string(kFormLine) + "\"");
    return untrusted("does not begin with \"" + std::string(kFormLine) + "\"");
  }

  const auto end_line = [&]() -> std::optional<std::size_t> {
    for (std::size_t i = 1; i < lines.size(); ++i)
      if (lines[i] == kEndLine) return i;
    return std::nullopt;
  }();
  if (!end_line) return untrusted("is not whole: no line \"end\"");
  if (*end_line + 1 < lines.size()) return at_line(*end_line + 2, "text after \"end\"");
  if (!text.ends_with('\n')) return untrusted("is not whole: no line end after \"end\"");

  ReleaseManifest manifest;
  // The three lines after the form's, each once, in this order.
  const auto head = [&](std::size_t index, std::string_view word) -> std::optional<std::string_view> {
    if (index >= *end_line || !lines[index].starts_with(word)) return std::nullopt;
    return lines[index].substr(word.size());
  };
  const auto sequence_text = head(1, "sequence ");
  if (!sequence_text) return at_line(2, "expected \"sequence N\"");
  const auto sequence = decimal(*sequence_text);
  if (!sequence) return at_line(2, "the sequence is no number from 0 to 18446744073709551615");
  manifest.sequence = *sequence;
  const auto date = head(2, "date ");
  if (!date) return at_line(3, "expected \"date YYYY-MM-DDTHH:MM:SSZ\"");
  if (!is_utc_date(*date)) return at_line(3, "the date is not of the form YYYY-MM-DDTHH:MM:SSZ");
  manifest.date = std::string(*date);
  const auto main = head(3, "main ");
  if (!main) return at_line(4, "expected \"main NAME\"");
  if (main->empty()) return at_line(4, "no main program named");
  manifest.main_program = std::string(*main);

  std::set<std::string_view> names;
  Item reached = Item::New;
  for (std::size_t i = 4; i < *end_line; ++i) {
    const std::string_view line = lines[i];
    const std::size_t number = i + 1;
    const auto* item = [&]() -> const std::pair<std::string_view, Item>* {
      for (const auto& known : kItems)
        if (line.starts_with(known.first)) return &known;
      return nullptr;
    }();
    if (!item) return at_line(number, "an unknown line \"" + shown(line) + "\"");
    if (item->second < reached)
      return at_line(number, "\"" + std::string(item->first) + "\" after the lines that follow it");
    reached = item->second;
    const std::string_view rest = line.substr(item->first.size());
    if (rest.empty())
      return at_line(number, "an empty \"" + std::string(item->first.substr(0, item->first.size() - 1)) + "\" line");
    switch (item->second) {
      case Item::New:
        manifest.new_folders.emplace_back(rest);
        break;
      case Item::Install:
        manifest.install_records.emplace_back(rest);
        break;
      case Item::Update:
        manifest.update_records.emplace_back(rest);
        break;
      case Item::File: {
        const std::size_t size_end = rest.find(' ');
        const auto size = decimal(rest.substr(0, size_end));
        if (size_end == std::string_view::npos || !size)
          return at_line(number, "the size is no number from 0 to 18446744073709551615");
        const std::string_view after_size = rest.substr(size_end + 1);
        const std::size_t hex_end = after_size.find(' ');
        const auto digest = digest_of(after_size.substr(0, hex_end));
        if (hex_end == std::string_view::npos || !digest)
          return at_line(number, "the SHA-256 is not 64 lowercase hex digits");
        const std::string_view name = after_size.substr(hex_end + 1);
        if (!is_bare_name(name)) return at_line(number, "\"" + shown(name) + "\" names no file in the FTP folder");
        if (!names.insert(name).second) return at_line(number, "the file \"" + shown(name) + "\" is named twice");
        manifest.files.push_back({std::string(name), *size, *digest});
        break;
      }
    }
  }
  return manifest;
}

std::string manifest_file_name(std::uint64_t sequence) {
  return std::string(kNamePrefix) + std::to_string(sequence) + std::string(kManifestSuffix);
}

std::string signature_file_name(std::uint64_t sequence) {
  return std::string(kNamePrefix) + std::to_string(sequence) + std::string(kSignatureSuffix);
}

std::optional<std::uint64_t> manifest_sequence_of(std::string_view file_name) {
  if (!file_name.starts_with(kNamePrefix) || !file_name.ends_with(kManifestSuffix)) return std::nullopt;
  if (file_name.size() < kNamePrefix.size() + kManifestSuffix.size()) return std::nullopt;
  return decimal(file_name.substr(kNamePrefix.size(), file_name.size() - kNamePrefix.size() - kManifestSuffix.size()));
}

}  // namespace qor::release
