// The catalogue the update server answers from, built from a release and
// its settings the way the client reads it back: every record carries every
// field, "ve=" is what the client's version check compares, "pa=" and
// "st=" put the file where the download run places it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "filetime/date_value.hpp"
#include "platform/file_system.hpp"
#include "publish/findings.hpp"
#include "publish/publish_settings.hpp"
#include "publish/release_scan.hpp"

namespace qor::publish {

struct PackageRecord {
  std::int64_t id = 0;
  std::string fn, ve, pa, ar;
  std::int64_t ja = 0;
  std::int64_t st = 0;
  std::string source;  // the file in the release ("Daten/x.dll"); never written into the catalogue
};

// What a file was when it was published, so that a later publish sees a
// changed file of a kind whose "ve=" the client does not compare.
struct FileStamp {
  std::int64_t bytes = 0;
  std::int64_t written = 0;  // last write, seconds since 1970 UTC
  bool operator==(const FileStamp&) const = default;
};

struct Catalogue {
  std::vector<std::pair<std::string, KeyValues>> captions;
  KeyValues settings;  // se fo us pa
  std::string charset = "utf-8";
  std::vector<std::string> new_folders;  // "\" between the parts
  std::vector<PackageRecord> install, update;
  std::string mainprogram, updaprogram;
  std::map<std::string, FileStamp> files;  // by "fn="
};

// The catalogue of the release. `file_system` is bound to the release
// folder and reads versions and last-write times as the client reads them.
// Faults are errors of `findings` naming the file; kinds the client does not
// compare are warnings. The catalogue is only fit to publish when
// `findings` holds no error.
Catalogue build_catalogue(const Release& release, const PublishSettings& settings, FileSystem& file_system,
                          Findings& findings);

// "ve=" of a date-versioned file last written at the local date `local`
// (the client's local time, by the offset in effect at `now`): the German
// form the client reads on every locale; none when the date cannot be
// written so or stamped by the client (before 1601 in UTC, after 9999).
std::optional<std::string> version_date_text(const DateValue& local, std::chrono::system_clock::time_point now);

}  // namespace qor::publish
