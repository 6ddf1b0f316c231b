// Publishing a release to the vendor's FTP server so that no client ever
// sees half of it: every new or changed file goes up under a temporary name
// first, then all are renamed into place, then the catalogue goes up (the
// same way), and only then are files gone from the release removed.
#pragma once

#include <ostream>
#include <string>

#include "platform/ftp_transfer.hpp"
#include "publish/catalogue.hpp"
#include "publish/publish_settings.hpp"

namespace qor::publish {

struct UploadRequest {
  UploadAccount account;  // catalogue_to filled in ("catalogue.json" by default)
  std::string release;    // the release folder the catalogue was made from
  bool remove_gone = false;
  bool progress = false;  // a line per file on `out`
  TransferLimits limits;
};

// The temporary name of a release file while it goes up: its size and last
// write in the name, so that a later call knows a whole one it finds there.
std::string temporary_name(const std::string& file, const FileStamp& stamp);

// Failures go to `err`; returns whether the whole upload was done.
bool upload_release(const UploadRequest& request, const Catalogue& catalogue, std::ostream& out, std::ostream& err);

}  // namespace qor::publish
