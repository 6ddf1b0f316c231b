#include "tests/platform/contract/crypto/crypto_vectors.hpp"

#include <fstream>
#include <sstream>

namespace qor::test {

namespace {

int digit_of(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw std::invalid_argument(std::string("no hexadecimal digit: ") + c);
}

P256Vectors read_vectors() {
  std::ifstream in(QOR_CRYPTO_VECTORS);
  if (!in) throw std::runtime_error("cannot read " QOR_CRYPTO_VECTORS);
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, hex;
    fields >> name >> hex;
    values[name] = hex;
  }
  P256Vectors vectors;
  vectors.key.secret = array_of_hex<32>(values.at("secret"));
  vectors.key.public_key = array_of_hex<65>(values.at("public"));
  vectors.message = bytes_of_hex(values.at("message"));
  for (const auto& [name, hex] : values)
    if (name != "secret" && name != "public" && name != "message") vectors.signatures[name] = array_of_hex<64>(hex);
  return vectors;
}

}  // namespace

std::string bytes_of_hex(std::string_view hex) {
  if (hex.size() % 2 != 0) throw std::invalid_argument("odd number of hexadecimal digits");
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2)
    bytes += static_cast<char>(digit_of(hex[i]) * 16 + digit_of(hex[i + 1]));
  return bytes;
}

const P256Vectors& p256_vectors() {
  static const P256Vectors vectors = read_vectors();
  return vectors;
}

}  // namespace qor::test
