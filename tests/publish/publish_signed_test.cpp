// A signed release as the vendor makes it: a key pair from keygen, an upload
// with the private key that puts a manifest and its signature beside the
// files before the catalogue, and what a keyed client will check of it: the
// signature over the manifest as uploaded, each file's size and SHA-256 as
// the FTP server holds it, the records exactly as the update server answers
// them, and a sequence that only grows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "platform/http_fetch.hpp"
#include "platform/release_crypto.hpp"
#include "portable/release/release_key.hpp"
#include "portable/release/release_manifest.hpp"
#include "publish/key_file.hpp"
#include "publish/publish_command.hpp"
#include "publish/signed_release.hpp"
#include "server/answer_grammar.hpp"
#include "server/http_query.hpp"
#include "tests/publish/publish_fixture.hpp"

namespace qor::test {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// The public key text keygen printed on its -DQOR_RELEASE_KEY line.
std::string printed_key(const std::string& out) {
  const std::string marker = "\n-DQOR_RELEASE_KEY=";
  const auto at = out.find(marker);
  if (at == std::string::npos) return {};
  const auto start = at + marker.size();
  return out.substr(start, out.find('\n', start) - start);
}

PublishRun keygen(const std::string& file) {
  ReleaseFolder unused;
  return unused.run({"keygen", "--out", file});
}

// A vendor's folder: the key beside the settings, named in them.
struct SigningVendor {
  ReleaseFolder release;
  std::string public_text;
  crypto::PublicKey public_key{};

  SigningVendor() {
    const PublishRun made = keygen(key_file());
    EXPECT_EQ(made.exit_code, publish::kPublished) << made.err;
    public_text = printed_key(made.out);
    auto key = release::read_public_key_text(public_text);
    EXPECT_TRUE(key) << made.out;
    if (key) public_key = *key;
    release.write_settings(settings_text("[signing]\nkey = vendor.qorkey\n"));
    release.put("QOR_software.exe", "MZ program");
    release.put("a.dll", std::string(200000, 'a'), utc(2026, 7, 15, 8));
    release.put("Bilder/Neue Bilder/logo.jpg", "picture", utc(2026, 11, 30, 23, 59));
    release.put("SQLite3/qor_base.db3", "base", utc(2026, 3, 31, 22));
    release.put("SQLite3/qor_buch.db3", "empty bookings");
    release.put("Daten/readme.txt", "read me");
  }
  std::string key_file() const { return fs::path(release.settings()).parent_path().string() + "/vendor.qorkey"; }
};

// The manifest of `sequence` on the FTP server, its signature checked
// against the vendor's public key over the bytes as uploaded.
release::ReleaseManifest verified_manifest(FtpFolder& ftp, std::uint64_t sequence, const crypto::PublicKey& key) {
  const std::string text = read_file(ftp.file(release::manifest_file_name(sequence)));
  const auto signature = release::read_signature_file_text(read_file(ftp.file(release::signature_file_name(sequence))));
  EXPECT_TRUE(signature) << signature.failure().reason;
  if (signature) {
    const Status verified = crypto::verify_signature(key, text, *signature);
    EXPECT_TRUE(verified) << verified.failure().reason;
  }
  auto manifest = release::read_manifest(text);
  EXPECT_TRUE(manifest) << manifest.failure().reason;
  EXPECT_EQ(manifest ? manifest->sequence : 0, sequence);
  return manifest ? *manifest : release::ReleaseManifest{};
}

// Every package file on the server is in the manifest with its size and
// SHA-256 as the server holds it; nothing else is.
void expect_files_match(FtpFolder& ftp, const release::ReleaseManifest& manifest) {
  std::set<std::string> on_server;
  for (const std::string& name : ftp.names()) {
    // Temporary files of an upload broken off stay until renamed or removed.
    if (name != "catalogue.json" && !name.starts_with("qor-release-") && !name.starts_with("~qor-upload-"))
      on_server.insert(name);
  }
  std::set<std::string> named;
  for (const auto& file : manifest.files) {
    named.insert(file.name);
    SCOPED_TRACE(file.name);
    ASSERT_TRUE(fs::exists(ftp.file(file.name)));
    const std::string bytes = read_file(ftp.file(file.name));
    EXPECT_EQ(file.size, bytes.size());
    EXPECT_EQ(file.sha256, crypto::sha256(bytes));
  }
  EXPECT_EQ(named, on_server);
}

std::size_t position(const Texts& texts, const std::string& text) {
  return static_cast<std::size_t>(std::find(texts.begin(), texts.end(), text) - texts.begin());
}

TEST(Keygen, WritesAKeyFileOnceWhosePublicKeyVerifiesItsSignatures) {
  TempDir dir;
  const std::string file = dir / "vendor.qorkey";
  const PublishRun made = keygen(file);
  ASSERT_EQ(made.exit_code, publish::kPublished) << made.err;
  const std::string public_text = printed_key(made.out);
  ASSERT_TRUE(public_text.starts_with("qor-p256-public:")) << made.out;
  EXPECT_NE(made.out.find("public key: " + public_text + "\n"), std::string::npos) << made.out;
#ifndef _WIN32
  EXPECT_EQ(mode_of(file), 0600u);
#endif
  const std::string key_text = read_file(file);
  EXPECT_EQ(made.out.find(key_text), std::string::npos) << "the private key is never printed";

  const auto key = publish::read_key_file(file);
  ASSERT_TRUE(key) << key.failure().reason;
  const auto printed = release::read_public_key_text(public_text);
  ASSERT_TRUE(printed) << printed.failure().reason;
  EXPECT_EQ(key->public_key, *printed);
  const auto signature = crypto::sign_message(*key, "a manifest");
  ASSERT_TRUE(signature) << signature.failure().reason;
  EXPECT_TRUE(crypto::verify_signature(*printed, "a manifest", *signature));
  EXPECT_FALSE(crypto::verify_signature(*printed, "another manifest", *signature));

  // Never replaced: a key lost this way could not be made again.
  const PublishRun again = keygen(file);
  EXPECT_EQ(again.exit_code, publish::kInputOutput);
  EXPECT_NE(again.err.find("never replaced"), std::string::npos) << again.err;
  EXPECT_EQ(read_file(file), key_text);
  // A second key is another key.
  const PublishRun other = keygen(dir / "other.qorkey");
  ASSERT_EQ(other.exit_code, publish::kPublished) << other.err;
  EXPECT_NE(printed_key(other.out), public_text);

  EXPECT_EQ(keygen("").exit_code, publish::kUsage);
  ReleaseFolder unused;
  EXPECT_EQ(unused.run({"keygen"}).exit_code, publish::kUsage);
  EXPECT_EQ(unused.run({"keygen", "--out", dir / "x", "--force"}).exit_code, publish::kUsage);
  EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST(SignedUpload, TheSignatureAndTheFilesAsUploadedMatchTheManifestWhichGoesUpBeforeTheCatalogue) {
  SigningVendor vendor;
  FtpFolder ftp;
  ftp.start();
  const PublishRun run = upload(vendor.release, ftp, {}, true);
  ASSERT_EQ(run.exit_code, publish::kPublished) << run.err;
  EXPECT_NE(run.out.find("signing with " + vendor.public_text), std::string::npos) << run.out;

  const release::ReleaseManifest manifest = verified_manifest(ftp, 1, vendor.public_key);
  expect_files_match(ftp, manifest);
  EXPECT_EQ(manifest.main_program, "QOR_software.exe");
  EXPECT_EQ(manifest.files.size(), 6u);
  EXPECT_TRUE(manifest.date.ends_with("Z")) << manifest.date;
  // The key itself never goes up, nor is it in the catalogue.
  const std::string key_text = read_file(vendor.key_file());
  for (const std::string& name : ftp.names()) EXPECT_EQ(read_file(ftp.file(name)).find(key_text), std::string::npos);

  // The files in place first, then the signature, then the manifest (each
  // under a temporary name), then the catalogue.
  const Texts changes = ftp.changes();
  const std::size_t signature = position(changes, "RNTO qor-release-1.sig");
  const std::size_t manifest_placed = position(changes, "RNTO qor-release-1.manifest");
  const std::size_t catalogue = position(changes, "RNTO catalogue.json");
  ASSERT_LT(catalogue, changes.size()) << ::testing::PrintToString(changes);
  EXPECT_LT(signature, manifest_placed);
  EXPECT_LT(manifest_placed, catalogue);
  EXPECT_LT(position(changes, "RNTO a.dll"), signature);
  EXPECT_LT(position(changes, "STOR ~qor-upload-qor-release-1.sig"), signature);
  EXPECT_LT(position(changes, "STOR ~qor-upload-qor-release-1.manifest"), manifest_placed);
  for (const std::string& c : changes) EXPECT_FALSE(c == "STOR qor-release-1.manifest" || c == "STOR catalogue.json");
}

// Progress output that changes a release file once the upload tells it was
// sent: the moment between its upload and its placing.
class ChangingOutput : public std::streambuf {
 public:
  ChangingOutput(std::string sent_line, std::string file, std::string content)
      : sent_line_(std::move(sent_line)), file_(std::move(file)), content_(std::move(content)) {}
  std::string text;

 protected:
  int overflow(int c) override {
    if (c != EOF) append(std::string(1, static_cast<char>(c)));
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    append(std::string(s, static_cast<std::size_t>(n)));
    return n;
  }

 private:
  void append(const std::string& more) {
    text += more;
    if (!changed_ && text.find(sent_line_) != std::string::npos) {
      write_file(file_, content_);
      changed_ = true;
    }
  }
  std::string sent_line_, file_, content_;
  bool changed_ = false;
};

TEST(SignedUpload, AFileChangedAfterItsHashIsNeverPlacedUnderTheManifest) {
  SigningVendor vendor;
  FtpFolder ftp;
  ftp.start();
  // Changed while it went up: the same size, other bytes.
  ChangingOutput changing("sent      a.dll", inside(vendor.release.root(), "a.dll"), std::string(200000, 'z'));
  std::ostream out(&changing);
  std::ostringstream err;
  const int code = publish::run_publish({"--settings", vendor.release.settings(), "--upload", "--server", ftp.address(),
                                         "--user", kUploadUser, "--password", kUploadPassword, vendor.release.root()},
                                        out, err, true);
  EXPECT_EQ(code, publish::kUploadFailed) << err.str();
  EXPECT_NE(err.str().find("a.dll changed while the release went up"), std::string::npos) << err.str();
  for (const std::string& change : ftp.changes()) EXPECT_FALSE(change.starts_with("RNTO ")) << change;
  for (const std::string& name : ftp.names()) EXPECT_TRUE(name.starts_with("~qor-upload-")) << name;

  // The next call signs what it sends.
  ASSERT_EQ(upload(vendor.release, ftp).exit_code, publish::kPublished);
  const release::ReleaseManifest manifest = verified_manifest(ftp, 1, vendor.public_key);
  expect_files_match(ftp, manifest);
  EXPECT_EQ(read_file(ftp.file("a.dll")), std::string(200000, 'z'));
}

TEST(SignedUpload, AManifestIsRefusedForAFileChangedOrGoneSinceTheScan) {
  TempDir release;
  write_file(release / "a.dll", "seven b");
  publish::Catalogue catalogue;
  publish::PackageRecord record;
  record.fn = "a.dll";
  record.source = "a.dll";
  catalogue.update.push_back(record);
  catalogue.files["a.dll"] = publish::FileStamp{7, 0};
  const auto manifest = publish::manifest_of(catalogue, release.path(), 3, "2026-12-09T08:30:00Z");
  ASSERT_TRUE(manifest) << manifest.failure().reason;
  ASSERT_EQ(manifest->files.size(), 1u);
  EXPECT_EQ(manifest->files[0].sha256, crypto::sha256("seven b"));

  write_file(release / "a.dll", "eight bb");
  const auto grown = publish::manifest_of(catalogue, release.path(), 3, "2026-12-09T08:30:00Z");
  ASSERT_FALSE(grown);
  EXPECT_NE(grown.failure().reason.find("a.dll changed since the release was scanned"), std::string::npos);
  fs::remove(release / "a.dll");
  EXPECT_FALSE(publish::manifest_of(catalogue, release.path(), 3, "2026-12-09T08:30:00Z"));
}

TEST(SignedUpload, TheManifestsRecordsAreTheUpdateServersAnswersOneForOne) {
  SigningVendor vendor;
#ifndef _WIN32
  vendor.release.put("Bilder/Groß/übersicht.jpg", "overview", utc(2026, 12, 1, 9));
#endif
  FtpFolder ftp;
  ftp.start();
  ASSERT_EQ(upload(vendor.release, ftp).exit_code, publish::kPublished);
  const release::ReleaseManifest manifest = verified_manifest(ftp, 1, vendor.public_key);

  UpdateServerProcess server(read_file(ftp.file("catalogue.json")));
  const auto records = [&](const char* query) {
    Texts out;
    const std::string answer =
        http_get_text_or_empty(query_url(server.address(), std::string("art=") + query), FetchLimits{});
    for (const std::string_view record : answer::split(answer, "||")) out.emplace_back(record);
    return out;
  };
  EXPECT_EQ(manifest.new_folders, records("new"));
  EXPECT_EQ(manifest.install_records, records("install"));
  Texts update = records("update");
  ASSERT_GE(update.size(), 2u);
  EXPECT_EQ(update[0], "mainprogram=" + manifest.main_program);
  EXPECT_EQ(update[1], "updaprogram=QOR_sync.exe");
  EXPECT_EQ(manifest.update_records, Texts(update.begin() + 2, update.end()));
  EXPECT_EQ(manifest.install_records.size(), 1u);  // the user's bookings
  EXPECT_GE(manifest.update_records.size(), 5u);
}

TEST(SignedUpload, TheSequenceGrowsWithEachReleaseAndOnlyTheNewestTwoAreKept) {
  SigningVendor vendor;
  FtpFolder ftp;
  ftp.start();
  ASSERT_EQ(upload(vendor.release, ftp).exit_code, publish::kPublished);

  // Unchanged and signed already: nothing goes up.
  std::size_t before = ftp.changes().size();
  const PublishRun unchanged = upload(vendor.release, ftp);
  EXPECT_EQ(unchanged.exit_code, publish::kPublished) << unchanged.err;
  EXPECT_EQ(ftp.changes().size(), before);

  vendor.release.put("a.dll", std::string(200000, 'b'), utc(2026, 8, 1, 8));
  ASSERT_EQ(upload(vendor.release, ftp).exit_code, publish::kPublished);
  const release::ReleaseManifest second = verified_manifest(ftp, 2, vendor.public_key);
  expect_files_match(ftp, second);
  EXPECT_TRUE(fs::exists(ftp.file("qor-release-1.manifest"))) << "a published manifest is never overwritten";

  // A sequence not above the published ones is refused before anything is sent.
  vendor.release.put("Bilder/Neue Bilder/logo.jpg", "picture 2", utc(2026, 12, 1, 8));
  before = ftp.changes().size();
  for (const char* sequence : {"2", "1"}) {
    const PublishRun lower = upload(vendor.release, ftp, {"--sequence", sequence});
    EXPECT_EQ(lower.exit_code, publish::kUsage) << sequence;
    EXPECT_NE(lower.err.find("not above the published release qor-release-2.manifest"), std::string::npos) << lower.err;
  }
  EXPECT_EQ(ftp.changes().size(), before);
  ASSERT_EQ(upload(vendor.release, ftp, {"--sequence", "10"}).exit_code, publish::kPublished);
  expect_files_match(ftp, verified_manifest(ftp, 10, vendor.public_key));

  // --remove-gone keeps the newest two releases: a client that listed the
  // folder a moment before still reads the one it chose.
  fs::remove(inside(vendor.release.root(), "Daten/readme.txt"));
  ASSERT_EQ(upload(vendor.release, ftp, {"--remove-gone"}).exit_code, publish::kPublished);
  expect_files_match(ftp, verified_manifest(ftp, 11, vendor.public_key));
  Texts kept;
  for (const std::string& name : ftp.names())
    if (name.starts_with("qor-release-")) kept.push_back(name);
  EXPECT_EQ(kept,
            (Texts{"qor-release-10.manifest", "qor-release-10.sig", "qor-release-11.manifest", "qor-release-11.sig"}));
  EXPECT_FALSE(fs::exists(ftp.file("readme.txt")));
}

TEST(SignedUpload, AReleaseFirstPublishedUnsignedIsSignedByTheNextUploadWithAKey) {
  SigningVendor vendor;
  FtpFolder ftp;
  ftp.start();
  vendor.release.write_settings(settings_text());
  ASSERT_EQ(upload(vendor.release, ftp).exit_code, publish::kPublished);
  for (const std::string& name : ftp.names()) EXPECT_FALSE(name.starts_with("qor-release-")) << name;

  // Nothing changed in the catalogue, yet no manifest publishes it.
  const std::size_t before = ftp.changes().size();
  ASSERT_EQ(upload(vendor.release, ftp, {"--key", vendor.key_file()}).exit_code, publish::kPublished);
  expect_files_match(ftp, verified_manifest(ftp, 1, vendor.public_key));
  const Texts changes = ftp.changes();
  for (std::size_t i = before; i < changes.size(); ++i) {
    EXPECT_TRUE(changes[i].find("qor-release-1.") != std::string::npos) << changes[i] << " sent again";
  }

  // A manifest signed with another key does not publish the release for
  // this one: the upload signs it anew.
  TempDir other;
  ASSERT_EQ(keygen(other / "next.qorkey").exit_code, publish::kPublished);
  ASSERT_EQ(upload(vendor.release, ftp, {"--key", other / "next.qorkey"}).exit_code, publish::kPublished);
  const auto next_key = publish::read_key_file(other / "next.qorkey");
  ASSERT_TRUE(next_key);
  verified_manifest(ftp, 2, next_key->public_key);
}

TEST(SignedUpload, AKeyThatCannotBeReadOrIsNoKeyIsASettingsErrorAndNothingIsSent) {
  SigningVendor vendor;
  FtpFolder ftp;
  ftp.start();
  TempDir dir;
  write_file(dir / "garbage.qorkey", "not a key\n");
  crypto::KeyPair mismatched;
  {
    auto a = publish::read_key_file(vendor.key_file());
    ASSERT_TRUE(a);
    mismatched = *a;
    TempDir b_dir;
    ASSERT_EQ(keygen(b_dir / "b.qorkey").exit_code, publish::kPublished);
    mismatched.public_key = publish::read_key_file(b_dir / "b.qorkey")->public_key;
  }
  write_file(dir / "mismatched.qorkey", release::private_key_file_text(mismatched));
  for (const std::string& key : Texts{dir / "missing.qorkey", dir / "garbage.qorkey", dir / "mismatched.qorkey"}) {
    SCOPED_TRACE(key);
    const PublishRun run = upload(vendor.release, ftp, {"--key", key});
    EXPECT_EQ(run.exit_code, publish::kInputOutput) << run.err;
    EXPECT_NE(run.err.find("key"), std::string::npos) << run.err;
  }
  // A key named in the settings that is not there: the same.
  vendor.release.write_settings(settings_text("[signing]\nkey = elsewhere.qorkey\n"));
  EXPECT_EQ(upload(vendor.release, ftp).exit_code, publish::kInputOutput);
  EXPECT_EQ(vendor.release.dry_run(dir / "none.json").exit_code, publish::kInputOutput);
  EXPECT_EQ(ftp.changes(), Texts{});

  // --sequence numbers a signed release only; --key goes with an upload or a dry run.
  vendor.release.write_settings(settings_text());
  EXPECT_EQ(upload(vendor.release, ftp, {"--sequence", "5"}).exit_code, publish::kUsage);
  EXPECT_EQ(upload(vendor.release, ftp, {"--key", vendor.key_file(), "--sequence", "0"}).exit_code, publish::kUsage);
  EXPECT_EQ(upload(vendor.release, ftp, {"--key", vendor.key_file(), "--sequence", "-3"}).exit_code, publish::kUsage);
  EXPECT_EQ(vendor.release
                .run({"--settings", vendor.release.settings(), "--key", vendor.key_file(), "--output",
                      vendor.release.catalogue(), vendor.release.root()})
                .exit_code,
            publish::kUsage);
  EXPECT_EQ(ftp.changes(), Texts{});
}

TEST(SignedUpload, TheDryRunNamesTheKeyItWouldSignWith) {
  SigningVendor vendor;
  TempDir dir;
  const PublishRun dry = vendor.release.dry_run(dir / "none.json");
  EXPECT_EQ(dry.exit_code, publish::kPublished) << dry.err;
  EXPECT_NE(dry.out.find("signed    qor-release-N.manifest of 6 files"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("key " + vendor.public_text + "\n"), std::string::npos) << dry.out;
  vendor.release.write_settings(settings_text());
  EXPECT_EQ(vendor.release.dry_run(dir / "none.json").out.find("signed"), std::string::npos);
}

TEST(SignedUpload, ReleaseFilesNamedLikeASignedReleasesOwnOrHoldingAKeyAreRefused) {
  SigningVendor vendor;
  vendor.release.put("qor-release-3.manifest", "a manifest of another release");
  vendor.release.put("Daten/QOR-Release-3.SIG", "its signature");
  vendor.release.put(".qor-release-accepted", "a client's accepted release");
  vendor.release.put("Daten/old.qorkey", "an old key");
  vendor.release.put("Daten/signing.txt", read_file(vendor.key_file()));
  vendor.release.put("qor-release-notes.txt", "release notes: a name of its own");
  const PublishRun run = vendor.release.publish();
  EXPECT_EQ(run.exit_code, publish::kChecksFailed);
  Texts where;
  for (const std::string& line : run.lines_starting("error: ")) where.push_back(line.substr(7, line.find(": ", 7) - 7));
  EXPECT_EQ(where, (Texts{".qor-release-accepted", "Daten/QOR-Release-3.SIG", "Daten/old.qorkey",
                          "qor-release-3.manifest", "Daten/signing.txt"}))
      << run.err;

  vendor.release.write_settings(settings_text("[signing]\nkey =\nfile = x\n"));
  const PublishRun settings = vendor.release.publish();
  EXPECT_EQ(settings.lines_starting("error").size(), 2u + where.size()) << settings.err;
}

}  // namespace
}  // namespace qor::test
