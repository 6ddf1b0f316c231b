// The names of a connection's last listing: the text the client shows for
// each, the bytes the server wrote it with, and the size it announced. A
// server that lists in Windows-1252 knows a file only by those bytes, not by
// the UTF-8 of the text shown for them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "portable/text/text_encoding.hpp"

namespace qor {

// How a connection reads a listed name that is not UTF-8, and writes a name
// the listing did not show, in the code page its platform's FTP functions
// speak; Windows-1252 unless the platform says otherwise.
struct NameCodec {
  std::string (*text)(std::string_view bytes) = text_from_server;
  std::string (*bytes)(std::string_view text) = bytes_for_server;
};

class ListingNames {
 public:
  struct Entry {
    std::string bytes;
    std::optional<std::uint64_t> size;
  };

  explicit ListingNames(NameCodec codec = {}) : codec_(codec) {}

  void clear() { entries_.clear(); }
  // Notes a listed name by its bytes; returns the text it is shown as. Of
  // two names shown alike, the one whose bytes are that text wins, else the
  // first.
  std::string add(const std::string& bytes, std::optional<std::uint64_t> size);
  // The entry shown as `text`; none when the listing has no such name.
  const Entry* find(const std::string& text) const;
  // The bytes to ask the server for `text` with: the listing's own, else
  // the codec's (Windows-1252 where the text can be written so, else its
  // UTF-8).
  std::string bytes_for(const std::string& text) const;

 private:
  NameCodec codec_;
  std::map<std::string, Entry> entries_;
};

}  // namespace qor
