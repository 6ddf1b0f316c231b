#include "publish/signed_release.hpp"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/release_crypto.hpp"
#include "portable/release/release_key.hpp"

namespace qor::publish {
namespace {

namespace fs = std::filesystem;

// Everything a manifest says of a release but its sequence and date.
bool same_release(const release::ReleaseManifest& a, const release::ReleaseManifest& b) {
  if (a.main_program != b.main_program || a.new_folders != b.new_folders || a.install_records != b.install_records ||
      a.update_records != b.update_records || a.files.size() != b.files.size())
    return false;
  for (std::size_t i = 0; i < a.files.size(); ++i) {
    const auto& x = a.files[i];
    const auto& y = b.files[i];
    if (x.name != y.name || x.size != y.size || x.sha256 != y.sha256) return false;
  }
  return true;
}

}  // namespace

Result<release::ManifestFile> hashed_file(const std::string& name, const std::string& path) {
  std::ifstream in(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  if (!in) return Failure{"cannot read " + path + " for its SHA-256"};
  crypto::Sha256 hash;
  release::ManifestFile file;
  file.name = name;
  std::vector<char> piece(std::size_t{1} << 16);
  while (in) {
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    hash.add(piece.data(), got);
    file.size += got;
  }
  if (in.bad()) return Failure{"reading " + path + " for its SHA-256 failed"};
  file.sha256 = hash.finish();
  return file;
}

std::string answer_record(const PackageRecord& r) {
  return "id=" + std::to_string(r.id) + "|fn=" + r.fn + "|ve=" + r.ve + "|pa=" + r.pa + "|ar=" + r.ar +
         "|ja=" + std::to_string(r.ja) + "|st=" + std::to_string(r.st);
}

std::string utc_date_text(std::chrono::system_clock::time_point when) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(when);
  const auto days = std::chrono::floor<std::chrono::days>(seconds);
  const std::chrono::year_month_day date(days);
  const std::chrono::hh_mm_ss time(seconds - days);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

Result<release::ReleaseManifest> manifest_of(const Catalogue& catalogue, const std::string& release_root,
                                             std::uint64_t sequence, const std::string& date) {
  release::ReleaseManifest manifest;
  manifest.sequence = sequence;
  manifest.date = date;
  manifest.main_program = catalogue.mainprogram;
  manifest.new_folders = catalogue.new_folders;
  for (const PackageRecord& r : catalogue.install) manifest.install_records.push_back(answer_record(r));
  for (const PackageRecord& r : catalogue.update) manifest.update_records.push_back(answer_record(r));
  for (const auto* list : {&catalogue.install, &catalogue.update}) {
    for (const PackageRecord& r : *list) {
      auto hashed = hashed_file(r.fn, release_root + "/" + r.source);
      if (!hashed) return hashed.failure();
      const auto stamp = catalogue.files.find(r.fn);
      if (stamp == catalogue.files.end() || static_cast<std::uint64_t>(stamp->second.bytes) != hashed->size)
        return Failure{r.source + " changed since the release was scanned: publish again"};
      manifest.files.push_back(std::move(*hashed));
    }
  }
  return manifest;
}

Result<SignedManifest> sign_manifest(const release::ReleaseManifest& manifest, const crypto::KeyPair& key) {
  SignedManifest out;
  out.manifest = release::write_manifest(manifest);
  // A client reads the text strictly: one it would refuse is never signed.
  auto back = release::read_manifest(out.manifest);
  if (!back) return back.failure();
  if (!same_release(*back, manifest) || back->sequence != manifest.sequence || back->date != manifest.date)
    return Failure{"the release manifest would not read back as written"};
  auto signature = crypto::sign_message(key, out.manifest);
  if (!signature) return Failure{"signing the release manifest failed: " + signature.failure().reason};
  if (Status verified = crypto::verify_signature(key.public_key, out.manifest, *signature); !verified)
    return Failure{"the key file's public key does not verify its own signature (" + verified.failure().reason +
                   "): the key file is damaged"};
  out.signature = release::signature_file_text(*signature);
  return out;
}

bool publishes(std::string_view manifest_text, std::string_view signature_text, const release::ReleaseManifest& wanted,
               const crypto::PublicKey& key) {
  const auto published = release::read_manifest(manifest_text);
  if (!published || !same_release(*published, wanted)) return false;
  const auto signature = release::read_signature_file_text(signature_text);
  return signature && crypto::verify_signature(key, manifest_text, *signature);
}

std::optional<std::uint64_t> release_file_sequence(std::string_view name) {
  constexpr std::string_view kSignature = ".sig";
  if (!name.ends_with(kSignature)) return release::manifest_sequence_of(name);
  std::string as_manifest(name.substr(0, name.size() - kSignature.size()));
  as_manifest += ".manifest";
  return release::manifest_sequence_of(as_manifest);
}

}  // namespace qor::publish
