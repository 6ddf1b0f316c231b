#include "portable/transfer/download_names.hpp"

#include <cctype>
#include <cstring>
#include <random>

namespace qor {

std::string new_temporary_name() {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string name = kTemporaryPrefix;
  for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

bool is_download_leftover_name(const std::string& name) {
  const std::size_t prefix = std::strlen(kTemporaryPrefix);
  if (name.size() != prefix + 6 || name.compare(0, prefix, kTemporaryPrefix) != 0) return false;
  for (std::size_t i = prefix; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 0x80 || std::isalnum(c) == 0) return false;
  }
  return true;
}

}  // namespace qor
