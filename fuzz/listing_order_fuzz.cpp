// The listing order against the exchange sort it stands in for. Keys are
// drawn from a small alphabet (space, a control character, letters, a byte
// above 0x7F) so that equal and space-equal keys are common: their order is
// where the two could part.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "ftp/listing_order.hpp"
#include "fuzz/fuzz_check.hpp"

namespace {

using qor::fuzz::check;

constexpr std::size_t kLiteralLimit = 64;  // the m^2 sort is run up to this many keys

// The sort as written in the listing's description, on keys padded with
// spaces to one width and compared byte by byte (unsigned).
std::vector<std::size_t> literal_exchange_sort(const std::vector<std::string>& keys) {
  std::size_t width = 0;
  for (const auto& k : keys) width = std::max(width, k.size());
  std::vector<std::string> padded;
  for (const auto& k : keys) padded.push_back(k + std::string(width - k.size(), ' '));
  std::vector<std::size_t> at(keys.size());
  std::iota(at.begin(), at.end(), 0);
  const std::size_t m = keys.size();
  for (std::size_t a = 0; a < m; ++a)
    for (std::size_t b = 0; b < m; ++b)
      if (padded[at[b]] > padded[at[a]]) std::swap(at[a], at[b]);
  return at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr char kAlphabet[] = {' ', 'a', 'b', '\x01', 'A', '~', '\xE9', '0'};
  std::vector<std::string> keys(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] >= 0xF0) {
      keys.emplace_back();
    } else {
      keys.back() += kAlphabet[data[i] % sizeof kAlphabet];
    }
  }
  const std::vector<std::size_t> order = qor::exchange_sort_order(keys);

  check(order.size() == keys.size(), "one position per entry");
  std::vector<bool> seen(keys.size(), false);
  for (std::size_t i : order) {
    check(i < keys.size() && !seen[i], "the order is a permutation");
    seen[i] = true;
  }
  for (std::size_t i = 1; i < order.size(); ++i)
    check(qor::compare_space_filled(keys[order[i - 1]], keys[order[i]]) <= 0, "ascending keys");
  if (keys.size() <= kLiteralLimit) check(order == literal_exchange_sort(keys), "the exchange sort's own order");
  return 0;
}
