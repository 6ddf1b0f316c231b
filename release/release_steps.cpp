#include "release/release_steps.hpp"

#include <algorithm>

#include "ftp/hashing_sink.hpp"
#include "platform/file_system.hpp"
#include "platform/ftp_transfer.hpp"
#include "portable/app_title.hpp"
#include "release/memory_sink.hpp"
#include "release/release_acceptance.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/keep_window_going.hpp"

namespace qor::release {
namespace {

constexpr const char* kWhat = "signed release";

// The release kept in the program folder, with the text it was read from.
struct Kept {
  std::optional<ReleaseManifest> manifest;
  std::string text;
};

Kept read_kept_release(QOR_sync_FRM& form, const crypto::PublicKey& key) {
  const std::string path = form.program_folder + kAcceptedFileName;
  if (!form.file_system->FileExists(path)) return {};
  MemorySink sink(kAcceptedFileName, kMaxAcceptedFileBytes);
  if (const Status read = form.file_system->read_file(path, sink, kMaxAcceptedFileBytes); !read) {
    report_failure(kWhat, Failure{"the release accepted before is not known: " + read.failure().reason});
    return {};
  }
  auto manifest = read_accepted_file(key, sink.bytes());
  // A key the vendor replaced leaves a kept release this client cannot
  // prove: the next accepted one takes its place.
  if (!manifest) {
    report_failure(kWhat, Failure{"the release accepted before is not known: " + std::string(kAcceptedFileName) + ": " +
                                  manifest.failure().reason});
    return {std::nullopt, sink.bytes()};
  }
  return {std::move(*manifest), sink.bytes()};
}

// Kept durably (flushed, then renamed over the one before), so that a cut
// of power leaves the old or the new release, never half of one.
Status keep_release(FileSystem& file_system, const std::string& path, const std::string& text) {
  auto file = file_system.replace_file(path);
  if (!file) return file.failure();
  if (Status written = (*file)->write(text.data(), text.size()); !written) return written;
  const auto committed = (*file)->commit(Placement::Replace);
  if (!committed) return committed.failure();
  return {};
}

Result<std::string> fetch_small_file(const InternetHandle* connection, const std::string& name, std::uint64_t cap,
                                     const KeepGoing& keep_going) {
  MemorySink sink(name, cap);
  if (const Status got = transfer::get_file(connection, name, sink, keep_going); !got)
    return Failure{name + ": " + got.failure().reason, got.failure().code};
  return sink.bytes();
}

Result<ReleaseManifest> fetch_and_accept(QOR_sync_FRM& form, SignedRelease& release, const Kept& kept) {
  const auto& ftp = shared_variables().ftp;
  std::vector<std::string> names;
  for (const auto& entry : ftp.remote_listing)
    if (entry.dwFileAttributes != 16) names.push_back(entry.cFileName);
  const auto newest = newest_release(names);
  if (!newest) return Failure{"the FTP folder holds no signed release (" + manifest_file_name(1) + " or later)"};

  // Held here: events handled while the files arrive may replace ftp_handle.
  const auto connection = ftp.ftp_handle;
  const KeepGoing keep_going = keep_window_going(form.host());
  const auto manifest_text =
      fetch_small_file(connection.get(), manifest_file_name(*newest), kMaxManifestBytes, keep_going);
  if (!manifest_text) return manifest_text.failure();
  const auto signature_text =
      fetch_small_file(connection.get(), signature_file_name(*newest), kMaxSignatureBytes, keep_going);
  if (!signature_text) return signature_text.failure();

  auto manifest = verify_release(release.key, *manifest_text, *signature_text);
  if (!manifest) return Failure{manifest_file_name(*newest) + ": " + manifest.failure().reason};
  if (manifest->sequence != *newest)
    return Failure{manifest_file_name(*newest) + ": it says it is release " + std::to_string(manifest->sequence)};
  if (Status newer = newer_or_same(*manifest, kept.manifest ? &*kept.manifest : nullptr); !newer)
    return newer.failure();

  const std::string text = accepted_file_text(*manifest_text, *signature_text);
  if (text != kept.text) {
    // The release is proved either way; only a later replay would go unseen.
    if (Status stored = keep_release(*form.file_system, form.program_folder + kAcceptedFileName, text); !stored)
      report_failure(kWhat, Failure{"the accepted release is not kept: " + stored.failure().reason});
  }
  return manifest;
}

const char* answer_name(ServerAnswer which) {
  switch (which) {
    case ServerAnswer::NewFolders:
      return "new-folder";
    case ServerAnswer::Install:
      return "install";
    case ServerAnswer::Update:
      return "update";
    case ServerAnswer::MainProgram:
      return "main-program";
  }
  return "";
}

const std::vector<std::string>& signed_records(const ReleaseManifest& manifest, ServerAnswer which) {
  switch (which) {
    case ServerAnswer::NewFolders:
      return manifest.new_folders;
    case ServerAnswer::Install:
      return manifest.install_records;
    default:
      return manifest.update_records;
  }
}

// What the first difference is, for the vendor who reads standard error.
std::string first_difference(const std::vector<std::string>& answered, const std::vector<std::string>& vouched) {
  for (const auto& record : answered)
    if (std::find(vouched.begin(), vouched.end(), record) == vouched.end()) return "\"" + record + "\" is not signed";
  for (const auto& record : vouched)
    if (std::find(answered.begin(), answered.end(), record) == answered.end()) return "\"" + record + "\" is missing";
  return "the records are not in the signed order";
}

std::string base_name(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

class DiscardSink final : public ByteSink {
 public:
  Status write(const char*, std::size_t) override { return {}; }
  Status rewind() override { return {}; }
};

}  // namespace

void fetch_release_manifest(QOR_sync_FRM& form, SignedRelease& release) {
  release.current.reset();
  form.release_refused = false;
  const Kept kept = read_kept_release(form, release.key);
  release.accepted_before = kept.manifest;
  if (!shared_variables().ftp.ftp_handle) {
    // The failed login has had its box; the release is refused with it.
    report_failure(kWhat, Failure{"refused: no FTP connection to fetch the manifest over"});
    form.release_refused = true;
    return;
  }
  auto accepted = fetch_and_accept(form, release, kept);
  if (accepted) {
    release.current = std::move(*accepted);
    return;
  }
  form.release_refused = true;
  if (accepted.failure().code == transfer::kAbandoned) {
    report_failure(kWhat, Failure{"abandoned, the window was closed"});
    return;
  }
  report_failure(kWhat, Failure{"refused: " + accepted.failure().reason, accepted.failure().code});
  form.host().MsgBox("Übertragunsfehler\r\n" + refused_release_line(form.shared().mod.language), MsgButtons::OK,
                     kApplicationTitle);
}

std::vector<std::string> vouched_answer(const SignedRelease& release, ServerAnswer which,
                                        const std::vector<std::string>& answered) {
  std::vector<std::string> vouched;
  if (which == ServerAnswer::MainProgram) {
    // A refused release still leaves the program accepted before startable.
    const auto& manifest = release.current ? release.current : release.accepted_before;
    if (manifest && !manifest->main_program.empty()) vouched.push_back(manifest->main_program);
  } else if (release.current) {
    vouched = signed_records(*release.current, which);
  }
  if (answered == vouched) return vouched;
  if (!release.current && which != ServerAnswer::MainProgram) {
    report_failure(kWhat,
                   Failure{std::string("the ") + answer_name(which) + " answer is not used: the release was refused"});
  } else {
    report_failure(kWhat,
                   Failure{std::string("the ") + answer_name(which) + " answer differs from the signed manifest (" +
                           first_difference(answered, vouched) + "); the signed one is used"});
  }
  return vouched;
}

std::optional<VouchedFile> vouched_file(const SignedRelease& release, const std::string& ftp_name) {
  if (!release.current) return std::nullopt;
  const ManifestFile* file = release.current->file(ftp_name);
  if (!file) return std::nullopt;
  return VouchedFile{file->size, file->sha256};
}

Status matches_signed_release(const SignedRelease& release, FileSystem& file_system, const std::string& path) {
  const auto& manifest = release.current ? release.current : release.accepted_before;
  if (!manifest) return Failure{"no signed release was accepted in this program folder"};
  const std::string name = base_name(manifest->main_program);
  const ManifestFile* file = manifest->file(name);
  if (!file)
    return Failure{"the signed release " + std::to_string(manifest->sequence) + " has no file \"" + name + "\""};
  DiscardSink discard;
  HashingSink hashed(discard);
  const std::string not_signed = path + " is not the file of signed release " + std::to_string(manifest->sequence);
  // Read no further than the signed size: a longer file is not the one.
  if (Status read = file_system.read_file(path, hashed, file->size); !read)
    return Failure{not_signed + ": " + read.failure().reason, read.failure().code};
  const auto digest = hashed.finish();
  if (hashed.size() != file->size || digest != file->sha256) return Failure{not_signed};
  return {};
}

std::string refused_release_line(const std::string& language) {
  if (language == "en") return "The update is not signed by the vendor and is not installed.";
  return "Die Aktualisierung ist nicht vom Hersteller signiert und wird nicht installiert.";
}

std::string unsigned_program_line(const std::string& language) {
  if (language == "en") return "The program does not match the signed release and is not started.";
  return "Das Programm entspricht nicht der signierten Freigabe und wird nicht gestartet.";
}

}  // namespace qor::release
