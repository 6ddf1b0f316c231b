#include "platform/local_time.hpp"

#include <ctime>

namespace qor {

std::chrono::seconds utc_offset_at(std::chrono::system_clock::time_point moment) {
  const std::time_t t = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return std::chrono::seconds{0};
  return std::chrono::seconds{local.tm_gmtoff};
}

}  // namespace qor
