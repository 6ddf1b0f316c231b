// SHA-256 of the platform's library as the client feeds it: known answers,
// the bytes in pieces of any size as a download delivers them, and a hash
// that goes on after it was finished or moved.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/release_crypto.hpp"
#include "tests/platform/contract/crypto/crypto_vectors.hpp"

namespace qor::crypto {
namespace {

using test::hex_of;

const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kMillionA = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

TEST(Sha256, KnownAnswers) {
  EXPECT_EQ(hex_of(sha256("")), kEmpty);
  EXPECT_EQ(hex_of(sha256("abc")), kAbc);
  // 448 bits: the length no longer fits the first block's padding.
  EXPECT_EQ(hex_of(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(hex_of(sha256(std::string(1'000'000, 'a'))), kMillionA);
  // Zero bytes are bytes like any other.
  EXPECT_EQ(hex_of(sha256(std::string(3, '\0'))), "709e80c88487a2411e1ee4dfb9f22a861492d20c4765150c0c794abd70f8147c");
}

TEST(Sha256, PiecesOfAnySizeHashAsTheWhole) {
  const std::string million(1'000'000, 'a');
  Sha256 hash;
  // Odd sizes across the 64-byte blocks, empty pieces among them.
  const std::size_t sizes[] = {1, 0, 3, 63, 64, 65, 127, 0, 4095, 65537};
  std::size_t at = 0;
  for (std::size_t i = 0; at < million.size(); ++i) {
    const std::size_t size = std::min(sizes[i % std::size(sizes)], million.size() - at);
    hash.add(million.data() + at, size);
    at += size;
  }
  EXPECT_EQ(hex_of(hash.finish()), kMillionA);
}

TEST(Sha256, FinishStartsAfreshAndAMovedHashGoesOn) {
  Sha256 hash;
  hash.add("bytes of another file");
  hash.finish();
  hash.add("abc");
  EXPECT_EQ(hex_of(hash.finish()), kAbc);
  EXPECT_EQ(hex_of(hash.finish()), kEmpty);

  Sha256 first;
  first.add("a");
  Sha256 moved(std::move(first));
  moved.add("b");
  Sha256 assigned;
  assigned.add("not in the digest");
  assigned = std::move(moved);
  assigned.add(std::string_view("c"));
  EXPECT_EQ(hex_of(assigned.finish()), kAbc);
}

}  // namespace
}  // namespace qor::crypto
