// Fetches one package file from the login folder into its local folder. The
// bytes go through the file system's replacement file, so a failed transfer
// leaves the old file whole.
#include <string>

#include "ftp/ftp_steps.hpp"
#include "ftp/hashing_sink.hpp"
#include "ftp/remote_name.hpp"
#include "platform/file_system.hpp"
#include "window/form_host.hpp"
#include "window/keep_window_going.hpp"
#include "window/shared_variables.hpp"
#include "window/transfer_failures.hpp"

namespace qor {
namespace {

std::string hex_of(const crypto::Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const auto byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

// Whether the bytes that arrived are the file the release signed; the
// reason names both when they are not.
Status matches(const HashingSink& arrived_bytes, crypto::Sha256Digest digest, const VouchedFile& vouched) {
  if (arrived_bytes.size() == vouched.size && digest == vouched.sha256) return {};
  return Failure{"not the signed file: " + std::to_string(arrived_bytes.size()) + " bytes, SHA-256 " + hex_of(digest) +
                 "; signed " + std::to_string(vouched.size) + " bytes, SHA-256 " + hex_of(vouched.sha256)};
}

// The file's bytes in its replacement file, or why they are not. A file of
// a signed release must also be the file it signed.
Result<std::unique_ptr<ReplacementFile>> arrive(FileSystem& file_system, const std::string& file_name,
                                                const std::string& local_folder, const KeepGoing& keep_going,
                                                const VouchedFile* vouched = nullptr) {
  if (!is_bare_file_name(file_name)) return Failure{"\"" + file_name + "\" names no file of the login folder"};
  auto target = file_system.replace_file(local_folder + "/" + file_name);
  if (!target) return target.failure();
  // Held here: events handled while the file arrives may replace ftp_handle.
  const auto connection = shared_variables().ftp.ftp_handle;
  if (!vouched) {
    const Status arrived = transfer::get_file(connection.get(), file_name, **target, keep_going);
    if (!arrived) return arrived.failure();
    return target;
  }
  HashingSink hashed(**target);
  const Status arrived = transfer::get_file(connection.get(), file_name, hashed, keep_going);
  if (!arrived) return arrived.failure();
  // Dropped unplaced on a mismatch: the old file stays.
  if (const Status signed_file = matches(hashed, hashed.finish(), *vouched); !signed_file) return signed_file.failure();
  return target;
}

bool abandoned(const std::string& file_name, const Failure& failure) {
  if (failure.code != transfer::kAbandoned) return false;
  // The user closed the window: the temporary file went with the
  // transfer, and there is nobody left to tell.
  report_failure("transfer of " + file_name, Failure{"abandoned, the window was closed"});
  return true;
}

}  // namespace

FetchOutcome ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                          const std::string& local_folder, Placement placement) {
  TransferFailures failures(host);
  return ftp_get_file(host, file_system, file_name, local_folder, placement, failures);
}

FetchOutcome ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                          const std::string& local_folder, Placement placement, TransferFailures& failures) {
  auto arrived = arrive(file_system, file_name, local_folder, keep_window_going(host));
  if (!arrived && abandoned(file_name, arrived.failure())) return FetchOutcome::Abandoned;
  const Result<Committed> placed = arrived ? (*arrived)->commit(placement) : Result<Committed>(arrived.failure());
  return tell_placement(file_name, local_folder, placed, failures);
}

FetchOutcome ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                          const std::string& local_folder, const Placing& placing, PlacementRun& run) {
  TransferFailures failures(host);
  return ftp_get_file(host, file_system, file_name, local_folder, placing, failures, run);
}

FetchOutcome ftp_get_file(FormHost& host, FileSystem& file_system, const std::string& file_name,
                          const std::string& local_folder, const Placing& placing, TransferFailures& failures,
                          PlacementRun& run, const VouchedFile* vouched) {
  auto arrived = arrive(file_system, file_name, local_folder, keep_window_going(host), vouched);
  if (!arrived && abandoned(file_name, arrived.failure())) return FetchOutcome::Abandoned;
  Status held = arrived ? run.hold(std::move(*arrived), placing) : Status(arrived.failure());
  if (!held) return tell_placement(file_name, local_folder, held.failure(), failures);
  return FetchOutcome::Held;
}

}  // namespace qor
