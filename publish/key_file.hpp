// The vendor's private release key on disk: made once by `qor_publish
// keygen`, read by every signed upload, never published.
#pragma once

#include <string>

#include "portable/release/crypto_values.hpp"
#include "portable/result/result.hpp"

namespace qor::publish {

// Writes `text` into a new file at `path` (UTF-8), readable by its owner
// alone where the platform has such modes (0600). A file already there is
// never replaced: a lost key cannot be made again, and a release signed with
// it could not be followed by clients built with it. On a failure no part of
// the file is left.
Status write_new_key_file(const std::string& path, const std::string& text);

// The key pair of a private key file; a file that cannot be read or holds
// no key is a failure naming the file.
Result<crypto::KeyPair> read_key_file(const std::string& path);

}  // namespace qor::publish
