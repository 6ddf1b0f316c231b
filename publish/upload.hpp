// Publishing a release to the vendor's FTP server so that no client ever
// sees half of it: every new or changed file goes up under a temporary name
// first, then all are renamed into place, then (signed) the signature and
// the manifest, then the catalogue goes up (the same way), and only then are
// files gone from the release removed.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "platform/ftp_transfer.hpp"
#include "portable/release/crypto_values.hpp"
#include "publish/catalogue.hpp"
#include "publish/publish_settings.hpp"

namespace qor::publish {

struct UploadRequest {
  UploadAccount account;  // catalogue_to filled in ("catalogue.json" by default)
  std::string release;    // the release folder the catalogue was made from
  bool remove_gone = false;
  bool progress = false;  // a line per file on `out`
  TransferLimits limits;
  // With a key the release goes up signed: after the files its signature
  // and manifest (each under a temporary name, then renamed), then the
  // catalogue. The sequence is the highest published one + 1 unless given.
  std::optional<crypto::KeyPair> signing_key;
  std::optional<std::uint64_t> sequence;
};

// The temporary name of a release file while it goes up: its size and last
// write in the name, so that a later call knows a whole one it finds there.
std::string temporary_name(const std::string& file, const FileStamp& stamp);

// Failures go to `err`; returns the exit code (publish_command.hpp): done,
// the upload failed, a given sequence not above the published ones (usage),
// or a release file that could not be read for the manifest.
int upload_release(const UploadRequest& request, const Catalogue& catalogue, std::ostream& out, std::ostream& err);

}  // namespace qor::publish
