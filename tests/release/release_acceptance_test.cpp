// What a keyed client accepts as the vendor's release: exactly the signed
// bytes under its own key, the newest manifest of a listing, never an older
// release than one accepted before, and a kept release that still proves
// itself; the answers it takes from the release, and the bytes a download
// is checked by.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/hashing_sink.hpp"
#include "platform/release_crypto.hpp"
#include "portable/release/release_key.hpp"
#include "release/memory_sink.hpp"
#include "release/release_acceptance.hpp"
#include "release/release_steps.hpp"
#include "tests/support/release_signing.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor::release {
namespace {

using Texts = std::vector<std::string>;

ReleaseManifest sample(std::uint64_t sequence) {
  ReleaseManifest manifest;
  manifest.sequence = sequence;
  manifest.date = "2026-12-09T08:30:00Z";
  manifest.main_program = "QOR_app.exe";
  manifest.install_records = {"id=1|fn=QOR_app.exe|ve=|pa=|ar=exe"};
  manifest.files = {{"QOR_app.exe", 7, crypto::sha256("program")}};
  return manifest;
}

struct Signed {
  std::string manifest;
  std::string signature;
};

Signed signed_with(const crypto::KeyPair& key, const ReleaseManifest& manifest) {
  Signed release{write_manifest(manifest), ""};
  const auto signature = crypto::sign_message(key, release.manifest);
  EXPECT_TRUE(signature) << signature.failure().reason;
  if (signature) release.signature = signature_file_text(*signature);
  return release;
}

const crypto::PublicKey& key() { return test::test_release_key().public_key; }

TEST(ReleaseAcceptance, OnlyTheSignedBytesUnderTheClientsKeyAreAccepted) {
  const Signed good = signed_with(test::test_release_key(), sample(4));
  const auto accepted = verify_release(key(), good.manifest, good.signature);
  ASSERT_TRUE(accepted) << accepted.failure().reason;
  EXPECT_EQ(accepted->sequence, 4u);

  std::string changed = good.manifest;
  changed[changed.find("QOR_app")] = 'X';
  const auto other_key = crypto::generate_key_pair();
  ASSERT_TRUE(other_key);
  const Signed by_other = signed_with(*other_key, sample(4));
  const Signed signed_garbage = [] {
    Signed s{"not a manifest\n", ""};
    s.signature = signature_file_text(*crypto::sign_message(test::test_release_key(), s.manifest));
    return s;
  }();
  const struct {
    const char* what;
    std::string manifest, signature, reason;
  } refused[] = {
      {"a byte changed", changed, good.signature, "signature: "},
      {"a line added", good.manifest + "new Fremd\n", good.signature, "signature: "},
      {"another key", by_other.manifest, by_other.signature, "signature: "},
      {"no signature", good.manifest, "", "signature file: "},
      {"a signature of something else", good.manifest, signed_garbage.signature, "signature: "},
      {"signed, yet no manifest", signed_garbage.manifest, signed_garbage.signature, "manifest: "},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    const auto result = verify_release(key(), c.manifest, c.signature);
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.failure().reason.starts_with(c.reason)) << result.failure().reason;
  }
}

TEST(ReleaseAcceptance, TheNewestManifestOfAListingAndNoOlderThanTheOneAcceptedBefore) {
  EXPECT_EQ(newest_release({"a.dll", "qor-release-9.manifest", "qor-release-10.manifest", "qor-release-11.sig",
                            "qor-release-2.manifest"}),
            std::optional<std::uint64_t>(10));
  EXPECT_EQ(newest_release({"a.dll", "qor-release-3.sig"}), std::nullopt);

  const ReleaseManifest five = sample(5);
  EXPECT_TRUE(newer_or_same(sample(5), nullptr));
  EXPECT_TRUE(newer_or_same(sample(5), &five));
  EXPECT_TRUE(newer_or_same(sample(6), &five));
  const Status older = newer_or_same(sample(4), &five);
  ASSERT_FALSE(older);
  EXPECT_EQ(older.failure().reason, "release 4 is older than release 5, accepted before in this program folder");
}

TEST(ReleaseAcceptance, TheKeptReleaseIsProvedAgainWhenRead) {
  const Signed good = signed_with(test::test_release_key(), sample(7));
  const std::string kept = accepted_file_text(good.manifest, good.signature + "\r\n");
  const auto read = read_accepted_file(key(), kept);
  ASSERT_TRUE(read) << read.failure().reason;
  EXPECT_EQ(read->sequence, 7u);

  std::string changed = kept;
  changed.replace(changed.find("sequence 7"), 10, "sequence 9");
  EXPECT_FALSE(read_accepted_file(key(), changed));
  EXPECT_FALSE(read_accepted_file(key(), good.manifest));
  EXPECT_FALSE(read_accepted_file(key(), ""));
  const auto other_key = crypto::generate_key_pair();
  ASSERT_TRUE(other_key);
  EXPECT_FALSE(read_accepted_file(other_key->public_key, kept));
}

// The program built for whole runs carries the public half of the pair the
// tests sign with.
TEST(ReleaseAcceptance, TheTestProgramsKeyIsThePublicHalfOfTheTestSigningKey) {
  EXPECT_EQ(public_key_text(key()), QOR_TEST_RELEASE_KEY);
  const auto read = read_public_key_text(QOR_TEST_RELEASE_KEY);
  ASSERT_TRUE(read) << read.failure().reason;
  EXPECT_EQ(*read, key());
}

// The release, accepted or refused, decides the lists; a refused one still
// names the program accepted before.
TEST(ReleaseAnswers, TheReleaseDecidesEachListAndAnyDifferenceIsSaid) {
  SignedRelease release;
  release.current = sample(3);
  const Texts signed_install{"id=1|fn=QOR_app.exe|ve=|pa=|ar=exe"};
  {
    const test::StderrCapture errors;
    EXPECT_EQ(vouched_answer(release, ServerAnswer::Install, signed_install), signed_install);
    EXPECT_EQ(vouched_answer(release, ServerAnswer::MainProgram, {"QOR_app.exe"}), Texts{"QOR_app.exe"});
    EXPECT_EQ(errors.failure_lines(), Texts{});
  }
  const test::StderrCapture errors;
  EXPECT_EQ(vouched_answer(release, ServerAnswer::Install, {"id=1|fn=QOR_app.exe|ve=|pa=|ar=exe", "id=2|fn=x"}),
            signed_install);
  EXPECT_EQ(vouched_answer(release, ServerAnswer::Update, {"id=5|fn=y"}), Texts{});
  EXPECT_EQ(vouched_answer(release, ServerAnswer::MainProgram, {}), Texts{"QOR_app.exe"});
  EXPECT_EQ(errors.lines_with("\"id=2|fn=x\" is not signed").size(), 1u) << errors.text();
  EXPECT_EQ(errors.lines_with("the update answer differs").size(), 1u) << errors.text();
  EXPECT_EQ(errors.lines_with("\"QOR_app.exe\" is missing").size(), 1u) << errors.text();

  SignedRelease refused;
  refused.accepted_before = sample(2);
  EXPECT_EQ(vouched_answer(refused, ServerAnswer::Install, signed_install), Texts{});
  EXPECT_EQ(vouched_answer(refused, ServerAnswer::MainProgram, {"other.exe"}), Texts{"QOR_app.exe"});
  EXPECT_EQ(vouched_file(refused, "QOR_app.exe"), std::nullopt);
  EXPECT_EQ(vouched_answer(SignedRelease{}, ServerAnswer::MainProgram, {"other.exe"}), Texts{});
}

// A download's hash covers exactly the bytes its file took since the last
// start over; a small file held in memory stops at its cap.
TEST(DownloadChecks, TheHashFollowsTheFileThroughAStartOverAndMemoryStopsAtItsCap) {
  MemorySink file("file", 1 << 20);
  HashingSink hashed(file);
  ASSERT_TRUE(hashed.write("garbage", 7));
  ASSERT_TRUE(hashed.rewind());
  ASSERT_TRUE(hashed.write("pro", 3));
  ASSERT_TRUE(hashed.write("gram", 4));
  EXPECT_EQ(hashed.size(), 7u);
  EXPECT_EQ(hashed.finish(), crypto::sha256("program"));
  EXPECT_EQ(file.bytes(), "program");

  MemorySink small("qor-release-1.sig", 8);
  ASSERT_TRUE(small.write("12345678", 8));
  const Status over = small.write("9", 1);
  ASSERT_FALSE(over);
  EXPECT_EQ(over.failure().reason, "qor-release-1.sig is larger than 8 bytes");
  // What the file refused is not in the hash either.
  MemorySink tiny("tiny", 2);
  HashingSink hashed_tiny(tiny);
  ASSERT_TRUE(hashed_tiny.write("ab", 2));
  EXPECT_FALSE(hashed_tiny.write("c", 1));
  EXPECT_EQ(hashed_tiny.size(), 2u);
  EXPECT_EQ(hashed_tiny.finish(), crypto::sha256("ab"));
}

}  // namespace
}  // namespace qor::release
