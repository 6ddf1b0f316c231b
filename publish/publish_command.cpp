#include "publish/publish_command.hpp"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/file_system.hpp"
#include "publish/catalogue.hpp"
#include "publish/catalogue_json.hpp"
#include "publish/change_plan.hpp"
#include "publish/publish_settings.hpp"
#include "publish/release_scan.hpp"

namespace qor::publish {
namespace {

namespace fs = std::filesystem;

fs::path path_of(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

struct Options {
  std::string release, settings, output, published;
  bool dry_run = false;
  bool help = false;
};

std::optional<Options> parse(const std::vector<std::string>& arguments, std::string& error) {
  Options o;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= arguments.size()) {
        error = a + " needs a value";
        return false;
      }
      into = arguments[++i];
      return true;
    };
    if (a == "--help" || a == "-h")
      o.help = true;
    else if (a == "--dry-run")
      o.dry_run = true;
    else if (a == "--settings") {
      if (!value(o.settings)) return std::nullopt;
    } else if (a == "--output") {
      if (!value(o.output)) return std::nullopt;
    } else if (a == "--published") {
      if (!value(o.published)) return std::nullopt;
    } else if (a.starts_with("-")) {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (o.release.empty())
      o.release = a;
    else {
      error = "one release folder only, not also " + a;
      return std::nullopt;
    }
  }
  if (o.help) return o;
  if (o.release.empty())
    error = "no release folder given";
  else if (o.settings.empty())
    error = "no settings file given (--settings)";
  else if (o.dry_run && o.published.empty())
    error = "a dry run compares with the published catalogue (--published)";
  else if (!o.dry_run && o.output.empty())
    error = "no catalogue to write given (--output)";
  if (!error.empty()) return std::nullopt;
  while (o.release.size() > 1 && (o.release.back() == '/' || o.release.back() == '\\')) o.release.pop_back();
  return o;
}

std::optional<std::string> read_whole(const std::string& path) {
  std::ifstream in(path_of(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// Beside the target first, then renamed into place: the server reads the
// catalogue for every query and never sees half of one.
bool write_whole(const std::string& path, const std::string& text, std::string& reason) {
  const fs::path target = path_of(path);
  fs::path temporary = target;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      reason = "cannot write " + temporary.string();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) {
    reason = "cannot put the catalogue at " + path + ": " + ec.message();
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

// A name from the release may hold anything: its control characters are
// shown as codes, so that it cannot write lines or move the cursor.
std::string shown(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    constexpr char kHex[] = "0123456789abcdef";
    out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0xF];
  }
  return out;
}

void tell(const Findings& findings, std::ostream& err) {
  int errors = 0, warnings = 0;
  for (const Finding& f : findings.all()) {
    err << (f.error ? "error: " : "warning: ") << shown(f.where) << ": " << shown(f.reason) << "\n";
    (f.error ? errors : warnings)++;
  }
  if (errors + warnings > 0) err << errors << " error(s), " << warnings << " warning(s)\n";
}

void print_plan(const ChangePlan& plan, std::ostream& out) {
  for (const PlannedFile& f : plan.files) {
    const PackageRecord& r = f.after ? *f.after : *f.before;
    std::string place = r.pa.empty() ? r.fn : r.pa + "\\" + r.fn;
    if (r.st == 10) place = (r.pa.empty() ? "" : r.pa + "\\") + "SQLite3\\" + r.fn;
    out << change_word(f.change) << std::string(10 - std::string(change_word(f.change)).size(), ' ') << shown(place);
    if (f.change == Change::Added) out << "  (" << r.ar << (r.ve.empty() ? "" : ", ve=" + r.ve) << ")";
    for (std::size_t i = 0; i < f.reasons.size(); ++i) out << (i ? ", " : "  (") << shown(f.reasons[i]);
    if (!f.reasons.empty()) out << ")";
    out << "\n";
  }
  for (const std::string& change : plan.catalogue_changes) out << "catalogue " << change << "\n";
  out << plan.count(Change::Added) << " added, " << plan.count(Change::Changed) << " changed, "
      << plan.count(Change::Removed) << " removed, " << plan.count(Change::Unchanged) << " unchanged\n";
}

}  // namespace

std::string publish_usage() {
  return "Usage: qor_publish --settings FILE --output CATALOGUE RELEASE\n"
         "       qor_publish --settings FILE --dry-run --published CATALOGUE RELEASE\n"
         "Scans the release folder (the program folder as it is to be after an update),\n"
         "checks it and writes the catalogue the update server answers from; with\n"
         "--dry-run writes nothing and prints what would change against the published\n"
         "catalogue (added, changed, removed, unchanged).\n"
         "Exit codes: 0 done (warnings allowed), 1 the checks found errors, 2 wrong\n"
         "command line, 3 a file could not be read or written.\n";
}

int run_publish(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto options = parse(arguments, error);
  if (!options) {
    err << "qor_publish: " << error << "\n" << publish_usage();
    return kUsage;
  }
  if (options->help) {
    out << publish_usage();
    return kPublished;
  }
  const auto settings_text = read_whole(options->settings);
  if (!settings_text) {
    err << "qor_publish: cannot read the settings file " << options->settings << "\n";
    return kInputOutput;
  }
  Findings findings;
  const PublishSettings settings = read_publish_settings(*settings_text, options->settings, findings);
  const Release release = scan_release(options->release, findings);
  const auto file_system = make_local_file_system(options->release + "/");
  const Catalogue catalogue = build_catalogue(release, settings, *file_system, findings);
  tell(findings, err);

  if (options->dry_run) {
    Catalogue published;
    if (const auto text = read_whole(options->published)) {
      auto read = read_catalogue_json(*text);
      if (!read) {
        err << "qor_publish: the published catalogue " << options->published << ": " << read.failure().reason << "\n";
        return kInputOutput;
      }
      published = std::move(*read);
    } else if (fs::exists(path_of(options->published))) {
      err << "qor_publish: cannot read the published catalogue " << options->published << "\n";
      return kInputOutput;
    } else {
      out << "nothing published at " << options->published << " yet\n";
    }
    print_plan(plan_changes(published, catalogue), out);
    return findings.has_errors() ? kChecksFailed : kPublished;
  }
  if (findings.has_errors()) {
    err << "qor_publish: nothing written\n";
    return kChecksFailed;
  }
  if (!write_whole(options->output, catalogue_json(catalogue), error)) {
    err << "qor_publish: " << error << "\n";
    return kInputOutput;
  }
  return kPublished;
}

}  // namespace qor::publish
