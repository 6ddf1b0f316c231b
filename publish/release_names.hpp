// Names of files and folders in a release that the client could not take:
// it fetches every file by its bare name from one FTP folder and writes it
// on Windows as well as on Linux, so a name must be one every platform and
// every answer can carry as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qor::publish {

// Why the name cannot be published, or none. Refused: names that are not
// UTF-8, control characters, "." and "..", the characters Windows holds in
// no name (< > : " / \ | ? *; ":" also makes "C:" a drive), a final dot or
// space (Windows drops it), the device names (CON, NUL, COM1, ...), and the
// names the client takes for its own broken-off downloads, and those the
// upload gives its files while they go up (kUploadPrefix, any letter case),
// and the names of a signed release's files: its manifests and signatures
// ("qor-release-N.manifest", ".sig"), the client's ".qor-release-accepted"
// and private key files (kKeyFileExtension).
std::optional<std::string> refused_name(const std::string& name);

inline constexpr std::string_view kUploadPrefix = "~qor-upload-";
// The name a release's private key file ends in, by the keygen's advice.
inline constexpr std::string_view kKeyFileExtension = ".qorkey";

}  // namespace qor::publish
