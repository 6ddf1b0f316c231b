#include "tests/support/release_signing.hpp"

#include <cstdlib>
#include <iostream>

#include "platform/release_crypto.hpp"
#include "portable/release/release_key.hpp"

namespace qor::test {
namespace {

template <std::size_t N>
std::array<std::uint8_t, N> from_hex(const char* hex) {
  std::array<std::uint8_t, N> bytes{};
  for (std::size_t i = 0; i < N; ++i)
    bytes[i] = static_cast<std::uint8_t>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
  return bytes;
}

}  // namespace

const crypto::KeyPair& test_release_key() {
  static const crypto::KeyPair key{
      from_hex<32>("6268196a707dbd225203e44d1014ba1b04935559464a42368616f35b5dc98646"),
      from_hex<65>("048d6e416d272edfc797531868676872c5d44c533c9072274a221187962feb554a821a52b1e7086e5bebdc78a677512f2c2"
                   "15eaca3e45200fdfa0fd0e4e65580e7")};
  return key;
}

std::map<std::string, std::string> signed_release(std::map<std::string, std::string> files,
                                                  release::ReleaseManifest release, const crypto::KeyPair& key) {
  release.files.clear();
  for (const auto& [name, bytes] : files) release.files.push_back({name, bytes.size(), crypto::sha256(bytes)});
  const std::string manifest = release::write_manifest(release);
  const auto signature = crypto::sign_message(key, manifest);
  if (!signature) {
    std::cerr << "signing the test release: " << signature.failure().reason << "\n";
    std::abort();
  }
  files[release::manifest_file_name(release.sequence)] = manifest;
  files[release::signature_file_name(release.sequence)] = release::signature_file_text(*signature);
  return files;
}

}  // namespace qor::test
