// The display order of a listing group: ascending by key, where a key is
// compared as if filled with spaces to a fixed width, character code by
// character code (so "a\x01" sorts before "a", and "a" equals "a  ").
//
// Entries with equal keys end up in exactly the order that the classic
// quadratic exchange sort leaves them in:
//   for a in 0..m-1: for b in 0..m-1: if key(b) > key(a): swap(a, b)
// which is not stable; this computes that permutation in O(m log m).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qor {

// <0, 0, >0 like strcmp, the shorter key read as continuing with spaces.
int compare_space_filled(std::string_view a, std::string_view b);

// order[i] is the index (into keys) of the entry that ends at position i.
std::vector<std::size_t> exchange_sort_order(const std::vector<std::string>& keys);

}  // namespace qor
