#include "portable/release/release_key.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "portable/text/base64.hpp"

namespace qor::release {

namespace {

constexpr std::string_view kPublic = "qor-p256-public:";
constexpr std::string_view kPrivate = "qor-p256-private:";
constexpr std::string_view kSignature = "qor-p256-signature:";
constexpr std::string_view kBlanks = " \t\r\n";

template <std::size_t N>
std::string line_of(std::string_view prefix, const std::array<std::uint8_t, N>& bytes) {
  return std::string(prefix) + to_base64(std::string_view(reinterpret_cast<const char*>(bytes.data()), N));
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The N bytes of "<prefix><base64>", surrounding blanks allowed.
template <std::size_t N>
Result<std::array<std::uint8_t, N>> value_of(std::string_view text, std::string_view prefix, const std::string& what) {
  const std::string_view line = trimmed(text);
  if (line.substr(0, prefix.size()) != prefix)
    return Failure{what + ": does not start with \"" + std::string(prefix) + "\"", 0};
  const auto bytes = from_base64(line.substr(prefix.size()));
  if (!bytes) return Failure{what + ": " + bytes.failure().reason, 0};
  if (bytes->size() != N)
    return Failure{what + ": " + std::to_string(bytes->size()) + " bytes where " + std::to_string(N) + " belong", 0};
  std::array<std::uint8_t, N> value{};
  for (std::size_t i = 0; i < N; ++i) value[i] = static_cast<std::uint8_t>((*bytes)[i]);
  return value;
}

}  // namespace

std::string public_key_text(const crypto::PublicKey& key) { return line_of(kPublic, key); }

Result<crypto::PublicKey> read_public_key_text(std::string_view text) {
  auto key = value_of<65>(text, kPublic, "public key");
  if (key && (*key)[0] != 0x04) return Failure{"public key: no uncompressed point (04 || X || Y)", 0};
  return key;
}

std::string private_key_file_text(const crypto::KeyPair& key) {
  return "# The private key that signs QOR_sync_PRO releases: keep it with the vendor, never upload it.\n" +
         line_of(kPrivate, key.secret) + "\n" + public_key_text(key.public_key) + "\n";
}

// Comment lines (#) and blank lines aside, one private and one public line.
Result<crypto::KeyPair> read_private_key_file_text(std::string_view text) {
  std::vector<std::string_view> secrets, publics;
  std::size_t number = 0;
  for (std::size_t at = 0; at <= text.size(); ++number) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = trimmed(text.substr(at, end - at));
    at = end + 1;
    if (line.empty() || line[0] == '#') continue;
    if (line.substr(0, kPrivate.size()) == kPrivate)
      secrets.push_back(line);
    else if (line.substr(0, kPublic.size()) == kPublic)
      publics.push_back(line);
    else
      return Failure{"private key file: line " + std::to_string(number + 1) + " is no key", 0};
  }
  if (secrets.size() != 1 || publics.size() != 1)
    return Failure{"private key file: " + std::to_string(secrets.size()) + " private and " +
                       std::to_string(publics.size()) + " public lines where one each belongs",
                   0};
  const auto secret = value_of<32>(secrets[0], kPrivate, "private key file: private key");
  if (!secret) return secret.failure();
  auto public_key = read_public_key_text(publics[0]);
  if (!public_key) return Failure{"private key file: " + public_key.failure().reason, 0};
  return crypto::KeyPair{*secret, *public_key};
}

std::string signature_file_text(const crypto::Signature& signature) { return line_of(kSignature, signature) + "\n"; }

Result<crypto::Signature> read_signature_file_text(std::string_view text) {
  return value_of<64>(text, kSignature, "signature");
}

}  // namespace qor::release
