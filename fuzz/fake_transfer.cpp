#include "fake_transfer.hpp"

#include <memory>
#include <utility>

#include "transfer_layer.hpp"

namespace qor {
namespace {

std::vector<WIN32_FIND_DATA>& fake_listing() {
  static std::vector<WIN32_FIND_DATA> entries;
  return entries;
}

}  // namespace

void fuzz::set_fake_listing(std::vector<WIN32_FIND_DATA> entries) { fake_listing() = std::move(entries); }

bool FindHandle::next(WIN32_FIND_DATA& data) {
  if (next_ >= entries_.size()) return false;
  data = entries_[next_++];
  return true;
}

namespace transfer {

// Like the real layer: none, with data untouched, for an empty folder.
std::unique_ptr<FindHandle> find_first(const InternetHandle*, WIN32_FIND_DATA& data) {
  if (fake_listing().empty()) return nullptr;
  auto find = std::make_unique<FindHandle>(fake_listing());
  find->next(data);
  return find;
}

bool find_next(FindHandle* find, WIN32_FIND_DATA& data) { return find != nullptr && find->next(data); }

void close(std::unique_ptr<FindHandle>& find) { find.reset(); }

}  // namespace transfer
}  // namespace qor
