#include "fuzz/fake_transfer.hpp"

#include <memory>
#include <utility>

#include "platform/ftp_transfer.hpp"
#include "portable/transfer/listed_entries.hpp"

namespace qor {

class FindHandle : public ListedEntries {
 public:
  using ListedEntries::ListedEntries;
};

void FindHandleCloser::operator()(FindHandle* find) const { delete find; }  // NOLINT(cppcoreguidelines-owning-memory)

namespace {

std::vector<WIN32_FIND_DATA>& fake_listing() {
  static std::vector<WIN32_FIND_DATA> entries;
  return entries;
}

}  // namespace

void fuzz::set_fake_listing(std::vector<WIN32_FIND_DATA> entries) { fake_listing() = std::move(entries); }

namespace transfer {

// Like the real layer: a failure, with data untouched, for an empty folder.
Result<FindHandlePtr> find_first(const InternetHandle*, WIN32_FIND_DATA& data, const KeepGoing&) {
  if (fake_listing().empty()) return Failure{"empty", kNoMoreFiles};
  FindHandlePtr find{new FindHandle(fake_listing())};  // NOLINT(cppcoreguidelines-owning-memory)
  find->next(data);
  return find;
}

bool find_next(FindHandle* find, WIN32_FIND_DATA& data) { return find != nullptr && find->next(data); }

}  // namespace transfer
}  // namespace qor
