#include "publish/publish_command.hpp"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/file_system.hpp"
#include "platform/release_crypto.hpp"
#include "portable/release/release_key.hpp"
#include "publish/catalogue.hpp"
#include "publish/catalogue_json.hpp"
#include "publish/change_plan.hpp"
#include "publish/key_file.hpp"
#include "publish/publish_settings.hpp"
#include "publish/release_scan.hpp"
#include "publish/upload.hpp"

namespace qor::publish {
namespace {

namespace fs = std::filesystem;

fs::path path_of(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

struct Options {
  std::string release, settings, output, published;
  std::string server, user, password, catalogue_to;
  std::string key;
  std::optional<std::uint64_t> sequence;
  bool dry_run = false;
  bool upload = false;
  bool remove_gone = false;
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
    else if (a == "--upload")
      o.upload = true;
    else if (a == "--remove-gone")
      o.remove_gone = true;
    else if (a == "--server") {
      if (!value(o.server)) return std::nullopt;
    } else if (a == "--user") {
      if (!value(o.user)) return std::nullopt;
    } else if (a == "--password") {
      if (!value(o.password)) return std::nullopt;
    } else if (a == "--catalogue-to") {
      if (!value(o.catalogue_to)) return std::nullopt;
    } else if (a == "--key") {
      if (!value(o.key)) return std::nullopt;
    } else if (a == "--sequence") {
      std::string text;
      if (!value(text)) return std::nullopt;
      std::uint64_t number = 0;
      const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), number);
      if (fault != std::errc() || end != text.data() + text.size() || number == 0) {
        error = "--sequence takes a number from 1 to 18446744073709551615, not \"" + text + "\"";
        return std::nullopt;
      }
      o.sequence = number;
    } else if (a == "--settings") {
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
  else if (o.dry_run && o.upload)
    error = "--dry-run and --upload exclude each other";
  else if (!o.dry_run && !o.upload && o.output.empty())
    error = "no catalogue to write given (--output) and no --upload";
  else if (!o.upload &&
           (o.remove_gone || !o.server.empty() || !o.user.empty() || !o.password.empty() || !o.catalogue_to.empty()))
    error = "--server, --user, --password, --catalogue-to and --remove-gone go with --upload";
  else if (o.sequence && !o.upload)
    error = "--sequence goes with --upload";
  else if (!o.key.empty() && !o.upload && !o.dry_run)
    error = "--key goes with --upload or --dry-run (a catalogue written with --output is not signed)";
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

// The private key of the command line, else of the settings (a path there
// is taken from the settings file's folder); none when neither names one.
std::string key_path(const Options& options, const PublishSettings& settings) {
  if (!options.key.empty()) return options.key;
  if (settings.signing_key.empty()) return {};
  const fs::path given = path_of(settings.signing_key);
  if (given.is_absolute()) return settings.signing_key;
  const std::u8string beside = (path_of(options.settings).parent_path() / given).u8string();
  return {beside.begin(), beside.end()};
}

int run_keygen(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  std::string file;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--out" && i + 1 < arguments.size() && file.empty()) {
      file = arguments[++i];
    } else {
      err << "qor_publish: keygen takes --out FILE only, not " << arguments[i] << "\n" << publish_usage();
      return kUsage;
    }
  }
  if (file.empty()) {
    err << "qor_publish: keygen needs the file for the private key (--out FILE)\n" << publish_usage();
    return kUsage;
  }
  auto key = crypto::generate_key_pair();
  if (!key) {
    err << "qor_publish: no key pair made: " << key.failure().reason << "\n";
    return kInputOutput;
  }
  if (Status written = write_new_key_file(file, release::private_key_file_text(*key)); !written) {
    err << "qor_publish: " << written.failure().reason << "\n";
    return kInputOutput;
  }
  const std::string public_text = release::public_key_text(key->public_key);
  out << "private key written to " << file << ": keep it to yourself, never in a release\n"
      << "public key: " << public_text << "\n"
      << "build the client with it:\n"
      << "-DQOR_RELEASE_KEY=" << public_text << "\n";
  return kPublished;
}

}  // namespace

std::string publish_usage() {
  return "Usage: qor_publish --settings FILE --output CATALOGUE RELEASE\n"
         "       qor_publish --settings FILE --dry-run --published CATALOGUE RELEASE\n"
         "Scans the release folder (the program folder as it is to be after an update),\n"
         "checks it and writes the catalogue the update server answers from; with\n"
         "--dry-run writes nothing and prints what would change against the published\n"
         "catalogue (added, changed, removed, unchanged).\n"
         "       qor_publish --settings FILE --upload [--server HOST[:PORT] --user NAME\n"
         "                   --password WORD] [--catalogue-to PATH] [--remove-gone]\n"
         "                   [--output CATALOGUE] RELEASE\n"
         "--upload publishes to the FTP server ([upload] of the settings, or the options):\n"
         "new and changed files under temporary names, then renamed into place, then the\n"
         "catalogue (to PATH from the login folder, default catalogue.json), then, with\n"
         "--remove-gone, the files no longer in the release removed. Run again after a\n"
         "failure: it resumes.\n"
         "With a private key (--key FILE, or [signing] key = FILE in the settings) the\n"
         "upload signs: after the files, qor-release-N.sig and qor-release-N.manifest\n"
         "(N one above the highest published, or --sequence N), then the catalogue.\n"
         "       qor_publish keygen --out FILE\n"
         "makes a new key pair: the private key into FILE (never replaced), the public\n"
         "key printed, with the line to build the client with it (-DQOR_RELEASE_KEY=...).\n"
         "Exit codes: 0 done (warnings allowed), 1 the checks found errors, 2 wrong\n"
         "command line, 3 a file (the settings, the key, a release file) could not be\n"
         "read or written, 4 the upload failed.\n";
}

int run_publish(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, bool terminal,
                const TransferLimits& limits) {
  if (!arguments.empty() && arguments.front() == "keygen")
    return run_keygen({arguments.begin() + 1, arguments.end()}, out, err);
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
  // A key named but unreadable is the vendor's to mend before anything else:
  // publishing unsigned instead would leave every keyed client refusing.
  std::optional<crypto::KeyPair> signing_key;
  if (const std::string key_file = key_path(*options, settings);
      !key_file.empty() && (options->upload || options->dry_run)) {
    auto key = read_key_file(key_file);
    if (!key) {
      err << "qor_publish: " << key.failure().reason << "\n";
      return kInputOutput;
    }
    signing_key = *key;
  }
  if (options->sequence && !signing_key) {
    err << "qor_publish: --sequence numbers a signed release: give the key (--key FILE or [signing] key)\n";
    return kUsage;
  }
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
    if (signing_key) {
      out << "signed    qor-release-N.manifest of " << catalogue.install.size() + catalogue.update.size()
          << " files and its signature go up before the catalogue, N one above the published ones; key "
          << release::public_key_text(signing_key->public_key) << "\n";
    }
    return findings.has_errors() ? kChecksFailed : kPublished;
  }
  if (findings.has_errors()) {
    err << "qor_publish: nothing written\n";
    return kChecksFailed;
  }
  if (!options->output.empty() && !write_whole(options->output, catalogue_json(catalogue), error)) {
    err << "qor_publish: " << error << "\n";
    return kInputOutput;
  }
  if (!options->upload) return kPublished;
  UploadRequest request;
  request.account = settings.upload;
  const auto choose = [](std::string& into, const std::string& given) {
    if (!given.empty()) into = given;
  };
  choose(request.account.server, options->server);
  choose(request.account.user, options->user);
  choose(request.account.password, options->password);
  choose(request.account.catalogue_to, options->catalogue_to);
  if (request.account.catalogue_to.empty()) request.account.catalogue_to = "catalogue.json";
  if (request.account.server.empty() || request.account.user.empty()) {
    err << "qor_publish: no FTP server or user to upload to (--server/--user or [upload] of the settings)\n";
    return kUsage;
  }
  request.release = options->release;
  request.remove_gone = options->remove_gone;
  request.progress = terminal;
  request.limits = limits;
  request.signing_key = signing_key;
  request.sequence = options->sequence;
  if (signing_key && terminal) out << "signing with " << release::public_key_text(signing_key->public_key) << "\n";
  return upload_release(request, catalogue, out, err);
}

}  // namespace qor::publish
