// What a signed release says about itself: its sequence number, the main
// program, the folders and records the update server is to answer, and the
// size and SHA-256 of every file published in the FTP folder. Written by the
// publishing tool, signed, uploaded before the catalogue; read by a client
// built with the vendor's key, which trusts nothing the manifest does not
// prove.
//
// The text is UTF-8 with line feeds, one item per line:
//   qor-release-manifest 1
//   sequence 12
//   date 2026-12-09T08:30:00Z
//   main QOR_app.exe
//   new Bilder                      (a record of the "new" answer)
//   install fn=a.dll|ve=1.0.0.0|... (a record of the install answer)
//   update fn=b.dll|ve=...          (a package record of the update answer)
//   file 1234 <64 hex digits> a.dll (size, SHA-256, the name in the FTP folder)
//   end
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "portable/release/crypto_values.hpp"
#include "portable/result/result.hpp"

namespace qor::release {

struct ManifestFile {
  std::string name;  // as in the FTP folder, compared exactly
  std::uint64_t size = 0;
  crypto::Sha256Digest sha256{};
};

struct ReleaseManifest {
  std::uint64_t sequence = 0;
  std::string date;  // UTC, "YYYY-MM-DDTHH:MM:SSZ"; told, never compared
  std::string main_program;
  std::vector<std::string> new_folders;
  std::vector<std::string> install_records;
  std::vector<std::string> update_records;
  std::vector<ManifestFile> files;

  // The file of that name, or none: a file the manifest does not name is
  // never written.
  const ManifestFile* file(std::string_view name) const;
};

std::string write_manifest(const ReleaseManifest& manifest);

// The manifest of a text, read strictly: an unknown line, a missing "end",
// a control character, text that is not UTF-8, a number out of range or a
// file named twice make the whole text untrusted, with the reason.
Result<ReleaseManifest> read_manifest(std::string_view text);

// Names in the FTP folder: "qor-release-<sequence>.manifest" and
// "qor-release-<sequence>.sig". Published releases are never overwritten,
// so a client never reads a manifest of one release and the signature of
// another.
std::string manifest_file_name(std::uint64_t sequence);
std::string signature_file_name(std::uint64_t sequence);
// The sequence of a manifest's file name, or none for any other name.
std::optional<std::uint64_t> manifest_sequence_of(std::string_view file_name);

}  // namespace qor::release
