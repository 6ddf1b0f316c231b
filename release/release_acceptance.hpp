// Whether a release may be trusted: its signature under the key the client
// was built with, its sequence against the highest accepted before in this
// program folder, and the file that keeps the accepted one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portable/release/crypto_values.hpp"
#include "portable/release/release_manifest.hpp"
#include "portable/result/result.hpp"

namespace qor::release {

// Kept in the program folder: the signature line of the last accepted
// release, then its manifest as it was signed.
inline constexpr const char* kAcceptedFileName = ".qor-release-accepted";
inline constexpr std::uint64_t kMaxManifestBytes = std::uint64_t{4} << 20;
inline constexpr std::uint64_t kMaxSignatureBytes = 1024;
inline constexpr std::uint64_t kMaxAcceptedFileBytes = kMaxManifestBytes + kMaxSignatureBytes;

// The manifest of a release whose signature file signs exactly these
// manifest bytes under `key`; the reason otherwise (a signature that does
// not match, one made with another key, an unreadable signature file or
// manifest).
Result<ReleaseManifest> verify_release(const crypto::PublicKey& key, std::string_view manifest_text,
                                       std::string_view signature_text);

// The highest sequence among the release manifests of a listing.
std::optional<std::uint64_t> newest_release(const std::vector<std::string>& names);

// A release older than one accepted before is a replay of what an attacker
// kept: refused. The same release again is fine.
Status newer_or_same(const ReleaseManifest& offered, const ReleaseManifest* accepted_before);

std::string accepted_file_text(std::string_view manifest_text, std::string_view signature_text);
// The release the file keeps, verified again: a file changed on the disk,
// or signed with a key this client no longer carries, is no accepted
// release.
Result<ReleaseManifest> read_accepted_file(const crypto::PublicKey& key, std::string_view text);

}  // namespace qor::release
