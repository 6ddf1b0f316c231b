// A listing read whole, handed out entry by entry: what a find handle holds
// where the transfer layer reads the folder in one go.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/find_data.hpp"

namespace qor {

class ListedEntries {
 public:
  explicit ListedEntries(std::vector<WIN32_FIND_DATA> entries) : entries_(std::move(entries)) {}
  // The next entry into data; false when none is left.
  bool next(WIN32_FIND_DATA& data) {
    if (next_ >= entries_.size()) return false;
    data = entries_[next_++];
    return true;
  }

 private:
  std::vector<WIN32_FIND_DATA> entries_;
  std::size_t next_ = 0;
};

}  // namespace qor
