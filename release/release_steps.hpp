// The steps of a client built with the vendor's key: the release's manifest
// fetched and verified right after the FTP login and listing, the update
// server's answers taken as the release signed them, each download held to
// the signed size and SHA-256, and the main program started only as signed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ftp/ftp_steps.hpp"
#include "portable/release/crypto_values.hpp"
#include "portable/release/release_manifest.hpp"
#include "window/signed_answers.hpp"

namespace qor {
class QOR_sync_FRM;
class FileSystem;
}  // namespace qor

namespace qor::release {

// What one run knows of the vendor's release.
struct SignedRelease {
  crypto::PublicKey key{};
  // Verified and accepted in this run; none before the fetch and when the
  // release was refused.
  std::optional<ReleaseManifest> current;
  // The one accepted in this program folder before this run, if any.
  std::optional<ReleaseManifest> accepted_before;
};

// Fetches the newest manifest of the listing and its signature, verifies
// them and keeps the accepted release in the program folder. A release that
// is refused shows one "Übertragunsfehler" box (the reason on standard
// error) and sets form.release_refused; after a failed login, which was
// told already, it is refused without a second box.
void fetch_release_manifest(QOR_sync_FRM& form, SignedRelease& release);

// The records the run uses for one answer: the release's own, also when it
// was refused (then none). Where the answer differs, standard error says so.
std::vector<std::string> vouched_answer(const SignedRelease& release, ServerAnswer which,
                                        const std::vector<std::string>& answered);

// The signed size and SHA-256 of a file of the FTP folder; none for a file
// the release does not name, or when no release was accepted in this run.
std::optional<VouchedFile> vouched_file(const SignedRelease& release, const std::string& ftp_name);

// Whether the program file at `path` is the main program of the release
// accepted last (in this run, else before it): its size and SHA-256.
Status matches_signed_release(const SignedRelease& release, FileSystem& file_system, const std::string& path);

// The line under "Übertragunsfehler" for a refused release, and the one of
// a main program that is not the signed one, in the user's language.
std::string refused_release_line(const std::string& language);
std::string unsigned_program_line(const std::string& language);

}  // namespace qor::release
