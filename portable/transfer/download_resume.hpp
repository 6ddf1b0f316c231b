// How a download that broke off midway goes on, on either transfer layer.
// It continues from the byte it reached (REST, then RETR) when the server
// takes REST and a size was announced to hold the file to; else it starts
// over. Either way a file gets at most two more transfers after the first.
//
// A resumed transfer asks for a little before the byte reached: what the
// server sends again must be what the sink already has, or the server did
// not continue this file (it answered REST yet ignored it, or the file
// changed meanwhile), and the download starts over instead. The bytes sent
// again are compared, never written: the sink gets no byte twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qor {

class DownloadResume {
 public:
  // Further transfers of one file after the first broke off.
  static constexpr int kMaxRetries = 2;
  // The bytes a resumed transfer sends again, to show it continues the file.
  static constexpr std::size_t kOverlap = std::size_t{4} << 10;

  // The transfer now planned starts at this byte of the file (REST); none
  // when it starts at the first, and the sink must then be empty.
  std::optional<std::uint64_t> rest_offset() const { return rest_; }

  // A transfer of the plan begins (again, after a connection found closed).
  void begin() { compared_ = 0; }

  // The data of the transfer as it arrives, the download held to `size`:
  // the part to write. None when a resumed transfer does not continue the
  // file (the size changed or the bytes sent again differ); the transfer
  // then ends, and next_after plans a start over.
  std::optional<std::string_view> take(std::string_view data, std::optional<std::uint64_t> size);

  // Notes bytes as they go into the sink.
  void wrote(std::string_view data);

  // After a transfer that failed with `in_sink` bytes in the sink, the
  // download held to `size`: whether another transfer is due, planned in
  // rest_offset. `broke_off` says the connection or the server broke it off
  // (not the client, its sink or its limits); `rest_refused` that the server
  // did not answer REST with 350. A refused or ignored REST costs no retry:
  // it goes on with a start over once.
  bool next_after(bool broke_off, bool rest_refused, std::uint64_t in_sink, std::optional<std::uint64_t> size);

 private:
  std::string tail_;  // the last bytes written, up to kOverlap
  int retries_ = 0;
  bool resumable_ = true;  // the server has not refused or ignored REST
  bool diverged_ = false;  // the last transfer did not continue the file
  std::optional<std::uint64_t> rest_;
  std::optional<std::uint64_t> size_;  // held to when the transfer broke off
  std::size_t compared_ = 0;           // of the bytes sent again
};

}  // namespace qor
