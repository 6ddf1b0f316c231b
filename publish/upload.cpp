#include "publish/upload.hpp"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>

#include "portable/release/release_manifest.hpp"
#include "publish/catalogue_json.hpp"
#include "publish/change_plan.hpp"
#include "publish/publish_command.hpp"
#include "publish/release_names.hpp"
#include "publish/signed_release.hpp"

namespace qor::publish {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class TextSink : public ByteSink {
 public:
  Status write(const char* data, std::size_t size) override {
    // A catalogue is small; anything far larger is not one.
    if (text.size() + size > (std::size_t{64} << 20)) return Failure{"the published catalogue is too large"};
    text.append(data, size);
    return {};
  }
  Status rewind() override {
    text.clear();
    return {};
  }
  std::string text;
};

// The catalogue goes up from a file of its own, removed afterwards.
class LocalCopy {
 public:
  explicit LocalCopy(const std::string& text) : path_(fresh_path()), size_(text.size()) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    written_ = static_cast<bool>(out);
  }
  LocalCopy(const LocalCopy&) = delete;
  LocalCopy& operator=(const LocalCopy&) = delete;
  ~LocalCopy() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  bool written() const { return written_; }
  std::uint64_t size() const { return size_; }
  std::string utf8() const {
    const std::u8string text = path_.u8string();
    return {text.begin(), text.end()};
  }

 private:
  static fs::path fresh_path() {
    std::random_device random;
    return fs::temp_directory_path() / ("qor-publish-" + std::to_string(random()) + ".tmp");
  }

  fs::path path_;
  std::uint64_t size_ = 0;
  bool written_ = false;
};

// Where a record's file lies in the release.
std::string source_of(const std::string& release, const PackageRecord& r) {
  std::string place = r.pa;
  for (char& c : place)
    if (c == '\\') c = '/';
  if (!place.empty()) place += '/';
  if (r.st == 10) place += "SQLite3/";
  return release + "/" + place + r.fn;
}

std::string rate_text(std::uint64_t bytes, Clock::duration took) {
  const double seconds = std::max(std::chrono::duration<double>(took).count(), 0.001);
  char text[32];
  std::snprintf(text, sizeof text, "%.1f KiB/s", static_cast<double>(bytes) / 1024.0 / seconds);
  return text;
}

// What the login folder holds, by name: the sizes of temporary files left
// by an earlier call, and the signed releases published there.
Result<std::map<std::string, std::uint64_t>> listed_sizes(const InternetHandle* connection) {
  std::map<std::string, std::uint64_t> sizes;
  WIN32_FIND_DATA data;
  auto find = transfer::find_first(connection, data);
  if (!find) {
    if (find.failure().code == transfer::kNoMoreFiles) return sizes;
    return Failure{"the FTP folder cannot be listed: " + find.failure().reason};
  }
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      sizes[data.cFileName] = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  } while (transfer::find_next(find->get(), data));
  return sizes;
}

// The highest sequence of a manifest published in the folder.
std::optional<std::uint64_t> highest_published(const std::map<std::string, std::uint64_t>& names) {
  std::optional<std::uint64_t> highest;
  for (const auto& [name, size] : names) {
    const auto sequence = release::manifest_sequence_of(name);
    if (sequence && (!highest || *sequence > *highest)) highest = sequence;
  }
  return highest;
}

// A text uploaded under a temporary name, then renamed into place.
Status put_text(const InternetHandle* connection, const std::string& text, const std::string& remote) {
  const LocalCopy copy(text);
  if (!copy.written()) return Failure{"cannot write a copy of " + remote};
  const std::string temporary = std::string(kUploadPrefix) + remote;
  Status sent = transfer::put_file(connection, copy.utf8(), temporary);
  if (sent) sent = transfer::rename(connection, temporary, remote);
  return sent;
}

// Whether the newest published manifest already publishes `wanted` under
// the key; anything that cannot be fetched or read counts as not.
bool newest_publishes(const InternetHandle* connection, std::uint64_t newest, const release::ReleaseManifest& wanted,
                      const crypto::PublicKey& key) {
  TextSink manifest, signature;
  return transfer::get_file(connection, release::manifest_file_name(newest), manifest) &&
         transfer::get_file(connection, release::signature_file_name(newest), signature) &&
         publishes(manifest.text, signature.text, wanted, key);
}

// The catalogue published now; an empty one where none can be read, which
// makes every file new: the safe side (nothing is then removed).
Catalogue published_catalogue(const InternetHandle* connection, const std::string& where, std::ostream& err) {
  TextSink sink;
  if (Status fetched = transfer::get_file(connection, where, sink); !fetched) {
    err << "qor_publish: no published catalogue read at " << where << " (" << fetched.failure().reason
        << "); every file goes up\n";
    return {};
  }
  auto read = read_catalogue_json(sink.text);
  if (!read) {
    err << "qor_publish: the published catalogue " << where << ": " << read.failure().reason
        << "; every file goes up\n";
    return {};
  }
  return std::move(*read);
}

}  // namespace

std::string temporary_name(const std::string& file, const FileStamp& stamp) {
  return std::string(kUploadPrefix) + std::to_string(stamp.bytes) + "-" + std::to_string(stamp.written) + "-" + file;
}

int upload_release(const UploadRequest& request, const Catalogue& catalogue, std::ostream& out, std::ostream& err) {
  const UploadAccount& account = request.account;
  const auto fail = [&](const Failure& failure, const char* state) {
    err << "qor_publish: " << failure.reason << "\n"
        << "qor_publish: " << state << "\n";
    return kUploadFailed;
  };
  constexpr const char* kUntouched = "the published files are as they were; the next call resumes";
  auto internet = transfer::open("qor_publish", request.limits);
  if (!internet) return fail(internet.failure(), kUntouched);
  auto connected = transfer::connect(*internet, account.server, account.user, account.password);
  if (!connected) return fail(connected.failure(), kUntouched);
  const InternetHandle* connection = connected->get();

  const Catalogue published = published_catalogue(connection, account.catalogue_to, err);
  const ChangePlan plan = plan_changes(published, catalogue);
  if (!plan.changes_anything() && !request.signing_key) {
    if (request.progress) out << "nothing to upload: the published catalogue is the release's\n";
    return kPublished;
  }
  auto listed = listed_sizes(connection);
  // Signed, the listing names the published releases: without it the
  // sequence could fall below theirs and every client would refuse it.
  if (!listed && request.signing_key) return fail(listed.failure(), kUntouched);
  std::map<std::string, std::uint64_t> on_server;
  if (listed) on_server = std::move(*listed);

  // 0. Signed: the manifest of what goes up, signed before anything is sent.
  const std::optional<std::uint64_t> previous = highest_published(on_server);
  std::uint64_t sequence = 0;
  std::optional<SignedManifest> signed_texts;
  std::optional<release::ReleaseManifest> signed_release;
  if (request.signing_key) {
    if (request.sequence && previous && *request.sequence <= *previous) {
      err << "qor_publish: --sequence " << *request.sequence << " is not above the published release "
          << release::manifest_file_name(*previous) << "; nothing sent\n";
      return kUsage;
    }
    if (!request.sequence && previous && *previous == std::numeric_limits<std::uint64_t>::max())
      return fail(Failure{"no sequence is left above " + release::manifest_file_name(*previous)}, kUntouched);
    sequence = request.sequence ? *request.sequence : previous ? *previous + 1 : 1;
    auto manifest = manifest_of(catalogue, request.release, sequence, utc_date_text(std::chrono::system_clock::now()));
    if (!manifest) {
      err << "qor_publish: " << manifest.failure().reason << "\nqor_publish: nothing sent\n";
      return kInputOutput;
    }
    if (!plan.changes_anything() && previous &&
        newest_publishes(connection, *previous, *manifest, request.signing_key->public_key)) {
      if (request.progress) out << "nothing to upload: the published catalogue and signed manifest are the release's\n";
      return kPublished;
    }
    auto signed_manifest = sign_manifest(*manifest, *request.signing_key);
    if (!signed_manifest) {
      err << "qor_publish: " << signed_manifest.failure().reason << "\nqor_publish: nothing sent\n";
      return kInputOutput;
    }
    signed_texts = std::move(*signed_manifest);
    signed_release = std::move(*manifest);
  }

  // 1. Every new or changed file under its temporary name; the published
  //    files stay as they are until all are there.
  struct Placing {
    std::string temporary, file;
  };
  std::vector<Placing> placings;
  for (const PlannedFile& f : plan.files) {
    if (f.change != Change::Added && f.change != Change::Changed) continue;
    const auto stamp = catalogue.files.find(f.after->fn);
    if (stamp == catalogue.files.end()) return fail(Failure{"no size known for " + f.after->fn}, kUntouched);
    const std::string temporary = temporary_name(f.after->fn, stamp->second);
    placings.push_back({temporary, f.after->fn});
    const auto left = on_server.find(temporary);
    if (left != on_server.end() && left->second == static_cast<std::uint64_t>(stamp->second.bytes)) {
      if (request.progress) out << "on server " << f.after->fn << "  " << stamp->second.bytes << " bytes\n";
      continue;
    }
    const Clock::time_point started = Clock::now();
    if (Status sent = transfer::put_file(connection, source_of(request.release, *f.after), temporary); !sent)
      return fail(sent.failure(), kUntouched);
    if (request.progress)
      out << "sent      " << f.after->fn << "  " << stamp->second.bytes << " bytes  "
          << rate_text(static_cast<std::uint64_t>(stamp->second.bytes), Clock::now() - started) << "\n"
          << std::flush;
  }

  // 1b. Signed: a file changed while it went up would be placed under a
  //     manifest that names other bytes, and every keyed client would refuse
  //     it; the sent files are read once more before anything is placed.
  if (signed_release) {
    for (const PlannedFile& f : plan.files) {
      if (f.change != Change::Added && f.change != Change::Changed) continue;
      const auto now = hashed_file(f.after->fn, source_of(request.release, *f.after));
      const release::ManifestFile* signed_file = signed_release->file(f.after->fn);
      if (!now || !signed_file || now->size != signed_file->size || now->sha256 != signed_file->sha256)
        return fail(Failure{f.after->source + " changed while the release went up: publish again"}, kUntouched);
    }
  }

  // 2. All into place, one rename each.
  for (const Placing& p : placings) {
    if (Status renamed = transfer::rename(connection, p.temporary, p.file); !renamed)
      return fail(renamed.failure(),
                  "some files are in place, the catalogue is not yet: run the same upload again to finish it");
  }

  // 2b. Signed: the signature, then the manifest that a client looks for
  //     first, both before the catalogue: a client never reads records of a
  //     release whose manifest is not there.
  if (signed_texts) {
    constexpr const char* kNotSigned =
        "the files are in place, the signed manifest and the catalogue are not yet: run the same upload again";
    const std::string signature_name = release::signature_file_name(sequence);
    const std::string manifest_name = release::manifest_file_name(sequence);
    if (Status sent = put_text(connection, signed_texts->signature, signature_name); !sent)
      return fail(sent.failure(), kNotSigned);
    if (request.progress) out << "signature " << signature_name << "\n";
    if (Status sent = put_text(connection, signed_texts->manifest, manifest_name); !sent)
      return fail(sent.failure(), kNotSigned);
    if (request.progress) out << "manifest  " << manifest_name << "  (sequence " << sequence << ")\n";
  }

  // 3. The catalogue last, the same way, so that no record names a file
  //    that is not there yet.
  if (plan.changes_anything()) {
    const LocalCopy copy(catalogue_json(catalogue));
    if (!copy.written()) return fail(Failure{"cannot write a copy of the catalogue"}, "the catalogue is not yet up");
    const std::string catalogue_temporary = std::string(kUploadPrefix) + "catalogue.json";
    const Clock::time_point started = Clock::now();
    Status sent = transfer::put_file(connection, copy.utf8(), catalogue_temporary);
    if (sent) sent = transfer::rename(connection, catalogue_temporary, account.catalogue_to);
    if (!sent)
      return fail(sent.failure(), "the files are in place, the catalogue is not yet: run the same upload again");
    if (request.progress)
      out << "catalogue " << account.catalogue_to << "  " << copy.size() << " bytes  "
          << rate_text(copy.size(), Clock::now() - started) << "\n";
  }

  // 4. Files the release no longer has, only when asked: a client that read
  //    the catalogue before still fetches them. Signed, the releases before
  //    the previous one go too; the previous stays for a client that listed
  //    the folder a moment before.
  std::vector<std::string> gone;
  for (const PlannedFile& f : plan.files) {
    if (f.change != Change::Removed) continue;
    if (request.remove_gone)
      gone.push_back(f.file);
    else if (request.progress)
      out << "left      " << f.file << " (no longer in the release; --remove-gone)\n";
  }
  if (request.remove_gone && signed_texts && previous) {
    for (const auto& [name, size] : on_server) {
      const auto of = release_file_sequence(name);
      if (of && *of < *previous) gone.push_back(name);
    }
  }
  bool removed_all = true;
  for (const std::string& file : gone) {
    if (Status removed = transfer::remove(connection, file); !removed) {
      err << "qor_publish: " << removed.failure().reason << "\n";
      removed_all = false;
    } else if (request.progress) {
      out << "removed   " << file << "\n";
    }
  }
  if (!removed_all) err << "qor_publish: published; some files no longer in the release are still on the server\n";
  return removed_all ? kPublished : kUploadFailed;
}

}  // namespace qor::publish
