// How far one download may go: the size it is held to, the cap where nobody
// announced one, and the room its disk keeps; and whether it went far enough
// to count as arrived. Both transfer layers ask this before the first byte,
// before every piece they write and after the last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/byte_sink.hpp"
#include "platform/ftp_transfer.hpp"
#include "portable/result/result.hpp"

namespace qor {

// The size in the server's answer to SIZE ("213 <size>"); none for any other
// answer or one without a number.
std::optional<std::uint64_t> size_in_reply(std::string_view reply);

// The size a download is held to. The server's answer to SIZE, asked right
// before the download, counts over the listing's size: a file published
// anew since the listing may have grown. Yet an answer above twice the
// listed size plus 16 MiB is not believed over the listing, whose size then
// holds. None when neither gave a size.
std::optional<std::uint64_t> size_to_hold_to(std::optional<std::uint64_t> listed,
                                             std::optional<std::uint64_t> size_reply);

// The free space every download leaves on a disk of `disk_total` bytes.
std::uint64_t disk_reserve(const TransferLimits& limits, std::uint64_t disk_total);

class DownloadBounds {
 public:
  // `what` starts every reason ("fetch a.dll"). Both references must
  // outlive the bounds.
  DownloadBounds(const TransferLimits& limits, const ByteSink& sink, std::string what);

  // Before the first byte of a download held to `size` (none when nobody
  // announced one): why it may not start. Its size does not fit above the
  // disk's reserve, or the disk is down to its reserve already.
  std::optional<Failure> refuse(std::optional<std::uint64_t> size);
  // Before `bytes` more are written after `received`: why they may not be.
  // They go past `size` (or the cap of a download without one), or they
  // would take the disk below its reserve. The disk is looked at once a MiB
  // (which costs nothing beside the writes) and whenever the bytes since
  // the last look may have used up the room it had then.
  std::optional<Failure> admit(std::optional<std::uint64_t> size, std::uint64_t received, std::size_t bytes);
  // Once the data ended with `received` in all: why the download does not
  // count as arrived. It ended short of `size`.
  std::optional<Failure> fall_short(std::optional<std::uint64_t> size, std::uint64_t received) const;

 private:
  // Looks at the disk: why `bytes` more do not fit above its reserve.
  std::optional<Failure> look(std::uint64_t bytes);

  const TransferLimits& limits_;
  const ByteSink& sink_;
  std::string what_;
  std::uint64_t room_ = 0;      // above the reserve at the last look
  std::uint64_t unlooked_ = 0;  // bytes admitted since that look
};

}  // namespace qor
