#include "publish/catalogue.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "filetime/filetime_steps.hpp"
#include "filetime/local_date.hpp"
#include "install/general_date.hpp"
#include "install/package_kinds.hpp"
#include "install/package_place.hpp"
#include "platform/date_form.hpp"
#include "portable/release/release_key.hpp"
#include "portable/text/letter_case.hpp"
#include "portable/text/text_encoding.hpp"

namespace qor::publish {
namespace {

constexpr const char* kCatalogueName = "catalogue.json";
constexpr const char* kSQLite3Folder = "SQLite3";

std::string backslashed(const std::vector<std::string>& parts, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += (i ? "\\" : "") + parts[i];
  return out;
}

std::string kind_of(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : to_lower_text(name.substr(dot + 1));
}

// A vendor's private release key, whatever its name: it must never go up.
bool holds_private_key(const std::string& path, std::uintmax_t bytes) {
  constexpr std::uintmax_t kKeyFileCap = 4096;
  if (bytes > kKeyFileCap) return false;
  std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(release::read_private_key_file_text(text));
}

bool readable(const std::string& path) {
  std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  char byte;
  return in && (in.read(&byte, 1) || in.eof());
}

// Paths in the settings may use either separator.
std::string slashed(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// In windows-1252 every text the server answers must have a byte there;
// otherwise the server could not write the answer at all.
void check_charset(const Catalogue& c, Findings& findings) {
  if (c.charset != "windows-1252") return;
  const auto check = [&findings](const std::string& where, const std::string& text) {
    if (!utf8_to_windows1252(text)) findings.error(where, "\"" + text + "\" cannot be written in windows-1252");
  };
  for (const auto& [language, entries] : c.captions) {
    for (const auto& [key, value] : entries) {
      std::string where = "captions ";
      where.append(language).append(" ").append(key);
      check(where, value);
    }
  }
  for (const auto& [key, value] : c.settings) check("transfer " + key, value);
  for (const std::string& folder : c.new_folders) check(folder, folder);
  for (const auto* list : {&c.install, &c.update})
    for (const PackageRecord& r : *list) check(r.source, r.fn);
  check("main program", c.mainprogram);
  check("update program", c.updaprogram);
}

}  // namespace

std::optional<std::string> version_date_text(const DateValue& local, std::chrono::system_clock::time_point now) {
  // The client stamps the date it reads as a FILETIME, and writes and reads
  // four-digit years only.
  if (!is_stampable_date(local) || local.year > 9999) return std::nullopt;
  if (!local_file_time_to_file_time(date_to_file_time(local), now)) return std::nullopt;
  const DateForm& german = fixed_date_form("de");
  std::string text = general_date_text(local, german);
  if (parse_general_date(text, german) != local) return std::nullopt;
  return text;
}

Catalogue build_catalogue(const Release& release, const PublishSettings& settings, FileSystem& file_system,
                          Findings& findings) {
  Catalogue c;
  c.captions = settings.captions;
  c.settings = settings.transfer;
  c.charset = settings.charset;
  c.mainprogram = settings.main_program;
  c.updaprogram = settings.update_program;
  for (std::string folder : release.folders) {
    std::replace(folder.begin(), folder.end(), '/', '\\');
    c.new_folders.push_back(std::move(folder));
  }

  std::vector<std::string> install_only;
  for (const std::string& path : settings.install_only) install_only.push_back(slashed(path));
  std::vector<bool> install_only_seen(install_only.size(), false);

  // The client fetches every file by its bare name from one FTP folder, and
  // FTP servers on Windows match names regardless of case: one name, one file.
  std::map<std::string, std::string> by_folded_name{{fold_case_text(kCatalogueName), "(the catalogue)"}};
  bool main_found = false;
  std::int64_t next_id = 1;
  std::vector<PackageRecord> install, update;

  for (const ReleaseFile& file : release.files) {
    const std::string relative = file.relative();
    const auto [seen, fresh] = by_folded_name.emplace(fold_case_text(file.name), relative);
    if (!fresh) {
      findings.error(
          relative, seen->second == "(the catalogue)"
                        ? "the catalogue is published under this name beside the files"
                        : "the same name as " + seen->second + ": the client fetches both by name from one FTP folder");
      continue;
    }
    if (file.folders.empty() && file.name == settings.main_program) main_found = true;

    PackageRecord r;
    r.fn = file.name;
    r.source = relative;
    r.ar = kind_of(file.name);
    const bool in_sqlite3 = !file.folders.empty() && file.folders.back() == kSQLite3Folder;
    r.st = in_sqlite3 ? 10 : 0;
    r.pa = backslashed(file.folders, in_sqlite3 ? file.folders.size() - 1 : file.folders.size());
    if (!package_place("/release/", r.fn, r.pa, static_cast<std::int16_t>(r.st))) {
      findings.error(relative, "the client would refuse this file's place");
      continue;
    }

    const std::string path = release.root + "/" + relative;
    if (!readable(path)) {
      findings.error(relative, "the file cannot be read");
      continue;
    }
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
    const auto written = file_system.DateLastModified(path);
    if (!written || ec) {
      findings.error(relative, "its size or last-write time cannot be read" +
                                   (written ? std::string() : ": " + written.failure().reason));
      continue;
    }
    if (holds_private_key(path, bytes)) {
      findings.error(relative, "a private release key: it is never published (keep it outside the release)");
      continue;
    }
    const auto now = std::chrono::system_clock::now();
    const DateValue local = utc_to_local_date(*written, now);
    r.ja = local.year;

    const bool listed_install_only = [&] {
      const auto at = std::find(install_only.begin(), install_only.end(), relative);
      if (at == install_only.end()) return false;
      install_only_seen[static_cast<std::size_t>(at - install_only.begin())] = true;
      return true;
    }();
    // The user's databases go into an empty place only: the install list.
    const bool install_list = listed_install_only || is_user_database(r.fn);

    if (r.ar == "exe") {
      r.ve = file_system.GetFileVersion(path);
      if (r.ve.empty() && !install_list)
        findings.warning(relative, "no version resource: the client installs it when missing and never replaces it");
    } else if (is_date_versioned(r.ar, r.fn)) {
      const auto text = version_date_text(local, now);
      if (!text) {
        findings.error(relative, "last written in the year " + std::to_string(local.year) +
                                     ", which no version date can carry (1601 to 9999): give the file a "
                                     "real last-write time");
        continue;
      }
      r.ve = *text;
    } else if (!install_list) {
      // The client has no version of its own for these: "ve=" stays empty,
      // and a copy the user has is never replaced.
      findings.warning(relative, "files of the kind \"" + r.ar +
                                     "\" are installed when missing, never updated; a changed copy needs a new name");
    }
    c.files[r.fn] = FileStamp{static_cast<std::int64_t>(bytes),
                              std::chrono::duration_cast<std::chrono::seconds>(written->time_since_epoch()).count()};
    (install_list ? install : update).push_back(std::move(r));
  }
  for (PackageRecord& r : install) r.id = next_id++;
  for (PackageRecord& r : update) r.id = next_id++;
  c.install = std::move(install);
  c.update = std::move(update);

  for (std::size_t i = 0; i < install_only.size(); ++i) {
    if (!install_only_seen[i])
      findings.error(settings.install_only[i], "listed as install-only but not in the release");
  }
  if (!settings.main_program.empty() && !main_found) {
    findings.error(settings.main_program, "the main program is not in the release folder (at its top)");
  }
  check_charset(c, findings);
  return c;
}

}  // namespace qor::publish
