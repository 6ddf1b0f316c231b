// Signed releases for tests: the tests' own key pair, and a folder's files
// published with a manifest and its signature, as the vendor's tool uploads
// them, made with the platform's cryptography.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "portable/release/crypto_values.hpp"
#include "portable/release/release_manifest.hpp"

namespace qor::test {

// The key pair of the tests' releases; its public key is the one the test
// client is built with (QOR_TEST_RELEASE_KEY).
const crypto::KeyPair& test_release_key();

// `files` (name -> bytes, as published in the FTP folder) together with the
// release's manifest and signature: `release` with every one of the files'
// size and SHA-256, signed with `key`.
std::map<std::string, std::string> signed_release(std::map<std::string, std::string> files,
                                                  release::ReleaseManifest release,
                                                  const crypto::KeyPair& key = test_release_key());

}  // namespace qor::test
