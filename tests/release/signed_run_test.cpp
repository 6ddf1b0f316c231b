// Whole runs of a client built with the vendor's key, with the program's own
// steps against the bundled update server (HTTP and FTP): what it installs,
// what it refuses, what it starts, and that a client without a key is served
// as it always was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/release_crypto.hpp"
#include "release/release_acceptance.hpp"
#include "release/release_steps.hpp"
#include "tests/install/real_run.hpp"
#include "tests/support/release_signing.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor::test {
namespace {

using Texts = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

const std::string kProgram = "id=1|fn=QOR_app.exe|ve=|pa=|ar=exe";
const std::string kData = "id=2|fn=a.txt|ve=2|pa=|ar=txt";

const crypto::PublicKey& test_key() { return test_release_key().public_key; }

// The release the tests publish: the program on the install list, a.txt
// (due whenever it is there) on the update list.
release::ReleaseManifest release_of(std::uint64_t sequence) {
  release::ReleaseManifest manifest;
  manifest.sequence = sequence;
  manifest.date = "2026-12-09T08:30:00Z";
  manifest.main_program = "QOR_app.exe";
  manifest.new_folders = {"Bilder"};
  manifest.install_records = {kProgram};
  manifest.update_records = {kData};
  return manifest;
}

std::string quoted_list(const Texts& items) {
  std::string json;
  for (const auto& item : items) json += (json.empty() ? "\"" : ", \"") + item + "\"";
  return "[" + json + "]";
}

// The update server's catalogue: by default it answers as the release says.
std::string catalogue(const Texts& install = {kProgram}, const Texts& update = {kData},
                      const std::string& main = "QOR_app.exe", const Texts& folders = {"Bilder"}) {
  return R"({"settings": {"fo": "/", "us": "qor", "pa": "pw"}, "mainprogram": ")" + main + R"(", "new": )" +
         quoted_list(folders) + R"(, "install": )" + quoted_list(install) + R"(, "update": )" + quoted_list(update) +
         "}";
}

const Files kReleaseFiles{{"QOR_app.exe", "the program, release 5"}, {"a.txt", "alpha of release 5"}};

// A program folder with a.txt of an earlier release.
struct ProgramFolder {
  ProgramFolder() { write_file(dir / "a.txt", "old a"); }
  TempDir dir;
};

// The install run, then the update run; the boxes the user saw.
Texts install_and_update(ClientRun& run) {
  run.log_in();
  run.form->steps.list_new_packages();
  run.form->create_missing_folders();
  run.list_install();
  run.download();
  run.list_update();
  run.download();
  return run.host.texts();
}

std::string refused_box() { return "Übertragunsfehler\r\n" + release::refused_release_line("de"); }

TEST(SignedRun, AGoodReleaseIsInstalledKeptAndItsProgramStarted) {
  ProgramFolder program;
  UpdateServerProcess server(catalogue(), {}, signed_release(kReleaseFiles, release_of(5)));
  ClientRun run(program.dir.path(), server.address(), test_key());
  EXPECT_EQ(install_and_update(run), Texts{});
  EXPECT_FALSE(run.form->release_refused);
  EXPECT_EQ(read_file(program.dir / "QOR_app.exe"), "the program, release 5");
  EXPECT_EQ(read_file(program.dir / "a.txt"), "alpha of release 5");
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(program.dir / "Bilder")));
  // Kept for the next run, and still proved by the key.
  const auto kept = release::read_accepted_file(test_key(), read_file(program.dir / release::kAcceptedFileName));
  ASSERT_TRUE(kept) << kept.failure().reason;
  EXPECT_EQ(kept->sequence, 5u);
  run.finish();
  ASSERT_EQ(run.started.size(), 1u);
  EXPECT_TRUE(run.started[0].ends_with("QOR_app.exe")) << run.started[0];
}

// The server's file is replaced after signing (same size or not): it is
// fetched, fails its check, and the old file stays.
TEST(SignedRun, AFileChangedAfterSigningIsNotPlacedAndTheOldOneStays) {
  for (const std::string& changed : {std::string("alpha of release 6"), std::string("a longer, different text")}) {
    ProgramFolder program;
    UpdateServerProcess server(catalogue(), {}, signed_release(kReleaseFiles, release_of(5)));
    write_file(server.published("a.txt"), changed);
    ClientRun run(program.dir.path(), server.address(), test_key());
    const StderrCapture errors;
    EXPECT_EQ(install_and_update(run), Texts{"Übertragunsfehler"});
    EXPECT_EQ(read_file(program.dir / "a.txt"), "old a");
    EXPECT_EQ(read_file(program.dir / "QOR_app.exe"), "the program, release 5");
    EXPECT_EQ(errors.lines_with("not the signed file").size(), 1u) << errors.text();
  }
}

// A download broken off midway and resumed is still hashed whole, once.
TEST(SignedRun, AResumedDownloadIsCheckedAsTheWholeFile) {
  ProgramFolder program;
  std::string big(300000, 'x');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i * 7 % 26);
  Files files = kReleaseFiles;
  files["a.txt"] = big;
  UpdateServerProcess server(catalogue(), {"--ftp-fault", "abort_after=100000", "--ftp-fault", "breaks=1"},
                             signed_release(files, release_of(5)));
  ClientRun run(program.dir.path(), server.address(), test_key());
  EXPECT_EQ(install_and_update(run), Texts{});
  EXPECT_EQ(read_file(program.dir / "a.txt"), big);
}

// Refused releases: one box, nothing installed or updated, nothing fetched
// but the manifest, and the reason on standard error.
void expect_refused(ClientRun& run, const ProgramFolder& program, const std::string& reason) {
  const StderrCapture errors;
  EXPECT_EQ(install_and_update(run), Texts{refused_box()});
  EXPECT_TRUE(run.form->release_refused);
  EXPECT_EQ(read_file(program.dir / "a.txt"), "old a");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(program.dir / "QOR_app.exe")));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(program.dir / "Bilder")));
  EXPECT_EQ(errors.lines_with(reason).size(), 1u) << errors.text();
}

TEST(SignedRun, AReleaseSignedWithAnotherKeyIsRefused) {
  ProgramFolder program;
  const auto other = crypto::generate_key_pair();
  ASSERT_TRUE(other) << other.failure().reason;
  UpdateServerProcess server(catalogue(), {}, signed_release(kReleaseFiles, release_of(5), *other));
  ClientRun run(program.dir.path(), server.address(), test_key());
  expect_refused(run, program, "refused: qor-release-5.manifest: signature");
}

TEST(SignedRun, AManifestChangedAfterSigningIsRefused) {
  ProgramFolder program;
  UpdateServerProcess server(catalogue(), {}, signed_release(kReleaseFiles, release_of(5)));
  std::string manifest = read_file(server.published("qor-release-5.manifest"));
  manifest.replace(manifest.find("QOR_app.exe"), 11, "QOR_bad.exe");
  write_file(server.published("qor-release-5.manifest"), manifest);
  ClientRun run(program.dir.path(), server.address(), test_key());
  expect_refused(run, program, "refused: qor-release-5.manifest: signature");
}

TEST(SignedRun, AnUnsignedServerIsRefusedByAKeyedClientAndServedAsEverWithoutAKey) {
  {
    ProgramFolder program;
    UpdateServerProcess server(catalogue(), {}, kReleaseFiles);
    ClientRun run(program.dir.path(), server.address(), test_key());
    expect_refused(run, program, "holds no signed release");
    run.finish();
    EXPECT_EQ(run.started, Texts{});
  }
  ProgramFolder program;
  UpdateServerProcess server(catalogue(), {}, kReleaseFiles);
  ClientRun run(program.dir.path(), server.address());
  const StderrCapture errors;
  EXPECT_EQ(install_and_update(run), Texts{});
  EXPECT_FALSE(run.form->release_refused);
  EXPECT_EQ(read_file(program.dir / "a.txt"), "alpha of release 5");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(program.dir / release::kAcceptedFileName)));
  EXPECT_EQ(errors.lines_with("signed release"), Texts{});
}

// An older release served after a newer one was accepted is a replay: it is
// refused, and the program of the release accepted before still starts.
TEST(SignedRun, AnOlderReleaseAfterANewerOneIsRefusedAndTheAcceptedProgramStillStarts) {
  TempDir program;
  {
    UpdateServerProcess newer(catalogue(), {}, signed_release(kReleaseFiles, release_of(6)));
    ClientRun run(program.path(), newer.address(), test_key());
    ASSERT_EQ(install_and_update(run), Texts{});
  }
  UpdateServerProcess older(
      catalogue(), {},
      signed_release({{"QOR_app.exe", "the program, release 5"}, {"a.txt", "old alpha"}}, release_of(5)));
  ClientRun run(program.path(), older.address(), test_key());
  const StderrCapture errors;
  EXPECT_EQ(install_and_update(run), Texts{refused_box()});
  EXPECT_TRUE(run.form->release_refused);
  EXPECT_EQ(read_file(program / "a.txt"), "alpha of release 5");
  EXPECT_EQ(errors.lines_with("release 5 is older than release 6").size(), 1u) << errors.text();
  run.finish();
  EXPECT_EQ(run.started.size(), 1u);
}

void expect_changed_program_not_started(const std::string& changed);

// The main program changed on the disk after the release was accepted is
// neither started nor given a shortcut; the user is told.
TEST(SignedRun, AMainProgramChangedAfterSigningIsNotStarted) {
  // Longer than signed, and as long as signed with other bytes.
  for (const std::string& changed :
       {std::string("the program, release 5 with something added"), std::string("THE PROGRAM, RELEASE 5")}) {
    SCOPED_TRACE(changed);
    expect_changed_program_not_started(changed);
  }
}

void expect_changed_program_not_started(const std::string& changed) {
  TempDir program;
  UpdateServerProcess server(catalogue(), {}, signed_release(kReleaseFiles, release_of(5)));
  {
    ClientRun run(program.path(), server.address(), test_key());
    ASSERT_EQ(install_and_update(run), Texts{});
  }
  write_file(program / "QOR_app.exe", changed);
  ClientRun run(program.path(), server.address(), test_key());
  EXPECT_EQ(install_and_update(run), Texts{});
  const StderrCapture errors;
  run.finish();
  EXPECT_EQ(run.started, Texts{});
  ASSERT_EQ(run.host.messages.size(), 1u);
  EXPECT_TRUE(run.host.messages[0].text.starts_with(release::unsigned_program_line("de"))) << run.host.messages[0].text;
  EXPECT_EQ(errors.lines_with("is not the file of signed release 5").size(), 1u) << errors.text();
  EXPECT_EQ(run.host.unloads, 1);
}

// Answers that differ from the signed release: its folders, records and
// main program are used, and standard error says which answer differed.
TEST(SignedRun, AnswersThatDifferFromTheReleaseAreOverriddenAndSaidOnStandardError) {
  ProgramFolder program;
  const std::string extra = "id=9|fn=extra.exe|ve=|pa=|ar=exe";
  Files files = signed_release(kReleaseFiles, release_of(5));
  files["extra.exe"] = "not signed";
  UpdateServerProcess server(catalogue({kProgram, extra}, {}, "extra.exe", {"Bilder", "Fremd"}), {}, files);
  ClientRun run(program.dir.path(), server.address(), test_key());
  const StderrCapture errors;
  EXPECT_EQ(install_and_update(run), Texts{});
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(program.dir / "extra.exe")));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(program.dir / "Fremd")));
  EXPECT_EQ(read_file(program.dir / "a.txt"), "alpha of release 5");
  EXPECT_EQ(run.form->shared().mod.main_program, "QOR_app.exe");
  for (const std::string answer : {"new-folder", "install", "update", "main-program"})
    EXPECT_EQ(errors.lines_with("the " + answer + " answer differs from the signed manifest").size(), 1u)
        << answer << "\n"
        << errors.text();
  EXPECT_EQ(errors.lines_with("\"" + extra + "\" is not signed").size(), 1u) << errors.text();
}

}  // namespace
}  // namespace qor::test
