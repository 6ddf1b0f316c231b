// What a signed upload puts beside the package files: the release manifest
// (portable/release/release_manifest.hpp) built from the catalogue as the
// update server will answer it, and its signature. A keyed client compares
// the server's answers with the manifest record by record, so the records
// here are the exact texts the server writes.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portable/release/crypto_values.hpp"
#include "portable/release/release_manifest.hpp"
#include "portable/result/result.hpp"
#include "publish/catalogue.hpp"

namespace qor::publish {

// A package record as the update server answers it from the catalogue:
// "id=1|fn=a.dll|ve=...|pa=...|ar=dll|ja=2026|st=0".
std::string answer_record(const PackageRecord& record);

// "YYYY-MM-DDTHH:MM:SSZ"
std::string utc_date_text(std::chrono::system_clock::time_point when);

// The manifest of the catalogue: its folders, records and main program, and
// the size and SHA-256 of each of its files, read from the release folder
// now. A file whose size is no longer the one the catalogue was made with
// fails the whole manifest (the release changed while it was published).
Result<release::ReleaseManifest> manifest_of(const Catalogue& catalogue, const std::string& release_root,
                                             std::uint64_t sequence, const std::string& date);

// The size and SHA-256 of a release file, read now, under its name in the
// FTP folder.
Result<release::ManifestFile> hashed_file(const std::string& name, const std::string& path);

struct SignedManifest {
  std::string manifest;   // the text uploaded as manifest_file_name(sequence)
  std::string signature;  // the text uploaded as signature_file_name(sequence)
};

// The manifest's text and its signature. Refused when the text would not
// read back as this manifest, or the signature does not verify under the
// key's public half (what the clients carry).
Result<SignedManifest> sign_manifest(const release::ReleaseManifest& manifest, const crypto::KeyPair& key);

// Whether a published manifest and signature already publish `wanted`
// (everything but its sequence and date) under `key`: then a signed upload
// of an unchanged release has nothing to send.
bool publishes(std::string_view manifest_text, std::string_view signature_text, const release::ReleaseManifest& wanted,
               const crypto::PublicKey& key);

// The sequence of a signed release's file in the FTP folder (a manifest or
// a signature), or none for any other name.
std::optional<std::uint64_t> release_file_sequence(std::string_view name);

}  // namespace qor::publish
