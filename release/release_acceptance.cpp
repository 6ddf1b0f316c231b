#include "release/release_acceptance.hpp"

#include "platform/release_crypto.hpp"
#include "portable/release/release_key.hpp"

namespace qor::release {

Result<ReleaseManifest> verify_release(const crypto::PublicKey& key, std::string_view manifest_text,
                                       std::string_view signature_text) {
  const auto signature = read_signature_file_text(signature_text);
  if (!signature) return Failure{"signature file: " + signature.failure().reason};
  // The bytes as they came are what was signed: nothing of the manifest is
  // read before they are proved.
  if (const Status verified = crypto::verify_signature(key, manifest_text, *signature); !verified)
    return Failure{"signature: " + verified.failure().reason};
  auto manifest = read_manifest(manifest_text);
  if (!manifest) return Failure{"manifest: " + manifest.failure().reason};
  return manifest;
}

std::optional<std::uint64_t> newest_release(const std::vector<std::string>& names) {
  std::optional<std::uint64_t> newest;
  for (const auto& name : names) {
    const auto sequence = manifest_sequence_of(name);
    if (sequence && (!newest || *sequence > *newest)) newest = sequence;
  }
  return newest;
}

Status newer_or_same(const ReleaseManifest& offered, const ReleaseManifest* accepted_before) {
  if (!accepted_before || offered.sequence >= accepted_before->sequence) return {};
  return Failure{"release " + std::to_string(offered.sequence) + " is older than release " +
                 std::to_string(accepted_before->sequence) + ", accepted before in this program folder"};
}

std::string accepted_file_text(std::string_view manifest_text, std::string_view signature_text) {
  std::string text(signature_text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  text += '\n';
  text += manifest_text;
  return text;
}

Result<ReleaseManifest> read_accepted_file(const crypto::PublicKey& key, std::string_view text) {
  const auto line_end = text.find('\n');
  if (line_end == std::string_view::npos) return Failure{"no signature line"};
  return verify_release(key, text.substr(line_end + 1), text.substr(0, line_end));
}

}  // namespace qor::release
