#include "portable/transfer/listing_names.hpp"

namespace qor {

std::string ListingNames::add(const std::string& bytes, std::optional<std::uint64_t> size) {
  std::string text = codec_.text(bytes);
  const auto [place, added] = entries_.try_emplace(text, Entry{bytes, size});
  if (!added && bytes == text) place->second = Entry{bytes, size};
  return text;
}

const ListingNames::Entry* ListingNames::find(const std::string& text) const {
  const auto it = entries_.find(text);
  return it == entries_.end() ? nullptr : &it->second;
}

std::string ListingNames::bytes_for(const std::string& text) const {
  if (const Entry* listed = find(text)) return listed->bytes;
  return codec_.bytes(text);
}

}  // namespace qor
