// The release manifest is what a keyed client trusts once its signature
// holds: it must read back exactly as written, and any text that is not
// one of the writer's own (a line the client does not know, a text cut
// short or lengthened, a number or digest spelled otherwise) is refused as
// a whole, with a reason in words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "portable/release/release_manifest.hpp"

namespace qor::release {
namespace {

using Texts = std::vector<std::string>;

ReleaseManifest sample() {
  ReleaseManifest m;
  m.sequence = 12;
  m.date = "2026-12-09T08:30:00Z";
  m.main_program = "QOR_software.exe";
  m.new_folders = {"Bilder", "Daten", "Daten\\SQLite3", "Große Bilder"};
  m.install_records = {"id=1|fn=qor_buch.db3|ve=|pa=|ar=db3|ja=2026|st=10"};
  m.update_records = {"id=2|fn=a.dll|ve=15.07.2026 10:30:00|pa=|ar=dll|ja=2026|st=0",
                      "id=3|fn=Übersicht 1.jpg|ve=30.11.2026|pa=Bilder|ar=jpg|ja=2026|st=0"};
  crypto::Sha256Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(i * 9 + 1);
  m.files = {
      {"a.dll", 300000, digest}, {"Übersicht 1.jpg", 0, {}}, {"QOR_software.exe", 18446744073709551615u, digest}};
  m.files[1].sha256[31] = 0xFF;
  return m;
}

void expect_same(const ReleaseManifest& a, const ReleaseManifest& b) {
  EXPECT_EQ(a.sequence, b.sequence);
  EXPECT_EQ(a.date, b.date);
  EXPECT_EQ(a.main_program, b.main_program);
  EXPECT_EQ(a.new_folders, b.new_folders);
  EXPECT_EQ(a.install_records, b.install_records);
  EXPECT_EQ(a.update_records, b.update_records);
  ASSERT_EQ(a.files.size(), b.files.size());
  for (std::size_t i = 0; i < a.files.size(); ++i) {
    EXPECT_EQ(a.files[i].name, b.files[i].name);
    EXPECT_EQ(a.files[i].size, b.files[i].size);
    EXPECT_EQ(a.files[i].sha256, b.files[i].sha256);
  }
}

// The sample's text with `from` replaced by `to` (which must be found).
std::string changed(const std::string& from, const std::string& to) {
  std::string text = write_manifest(sample());
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

void expect_refused(const std::string& text, const std::string& reason) {
  const auto read = read_manifest(text);
  ASSERT_FALSE(read) << text;
  EXPECT_NE(read.failure().reason.find(reason), std::string::npos) << read.failure().reason;
  EXPECT_TRUE(read.failure().reason.starts_with("the release manifest ")) << read.failure().reason;
}

TEST(ReleaseManifest, ReadsBackExactlyWhatWasWrittenInTheWrittenForm) {
  const std::string text = write_manifest(sample());
  EXPECT_TRUE(
      text.starts_with("qor-release-manifest 1\nsequence 12\ndate 2026-12-09T08:30:00Z\nmain QOR_software.exe\n"
                       "new Bilder\n"))
      << text;
  EXPECT_NE(text.find("\nfile 300000 010a131c252e37404952"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("\nend\n"));
  const auto read = read_manifest(text);
  ASSERT_TRUE(read) << read.failure().reason;
  expect_same(*read, sample());
  EXPECT_EQ(write_manifest(*read), text);

  // A release of nothing but its main program reads back too.
  ReleaseManifest bare;
  bare.date = "1999-01-01T00:00:00Z";
  bare.main_program = "x";
  const auto read_bare = read_manifest(write_manifest(bare));
  ASSERT_TRUE(read_bare) << read_bare.failure().reason;
  expect_same(*read_bare, bare);
}

TEST(ReleaseManifest, FindsFilesByTheirExactName) {
  const ReleaseManifest m = sample();
  ASSERT_NE(m.file("a.dll"), nullptr);
  EXPECT_EQ(m.file("a.dll")->size, 300000u);
  EXPECT_EQ(m.file("Übersicht 1.jpg")->sha256[31], 0xFF);
  EXPECT_EQ(m.file("A.DLL"), nullptr);
  EXPECT_EQ(m.file("a.dll "), nullptr);
  EXPECT_EQ(m.file(""), nullptr);
}

TEST(ReleaseManifest, ATextCutShortOrLengthenedIsRefused) {
  const std::string good = write_manifest(sample());
  expect_refused("", "is empty");
  expect_refused(good.substr(0, good.size() - 1), "no line end after \"end\"");
  expect_refused(good.substr(0, good.size() - 4), "no line \"end\"");
  expect_refused(good.substr(0, good.find("file ")), "no line \"end\"");
  expect_refused(good + "file 1 " + std::string(64, '0') + " late.dll\n", "text after \"end\"");
  expect_refused(good + "\n", "text after \"end\"");
  expect_refused(good + "end\n", "text after \"end\"");
}

TEST(ReleaseManifest, AnotherFormOrAMissingHeadLineIsRefused) {
  expect_refused(changed("qor-release-manifest 1", "qor-release-manifest 2"), "is of the form");
  expect_refused(changed("qor-release-manifest 1\n", ""), "does not begin with");
  expect_refused("\xEF\xBB\xBF" + write_manifest(sample()), "does not begin with");
  expect_refused(changed("sequence 12\n", ""), "line 2: expected \"sequence N\"");
  expect_refused(changed("date 2026-12-09T08:30:00Z\n", ""), "line 3: expected \"date");
  expect_refused(changed("main QOR_software.exe\n", ""), "line 4: expected \"main NAME\"");
  expect_refused(changed("main QOR_software.exe", "main "), "no main program");
  // The head lines in another order.
  expect_refused(changed("sequence 12\ndate 2026-12-09T08:30:00Z", "date 2026-12-09T08:30:00Z\nsequence 12"), "line 2");
}

TEST(ReleaseManifest, AnUnknownEmptyOrMisplacedLineIsRefused) {
  expect_refused(changed("new Bilder\n", "new Bilder\n\n"), "line 6: an unknown line");
  expect_refused(changed("new Bilder\n", "neu Bilder\n"), "line 5: an unknown line \"neu Bilder\"");
  expect_refused(changed("new Bilder\n", "New Bilder\n"), "an unknown line");
  expect_refused(changed("new Bilder\n", "new\n"), "an unknown line");
  expect_refused(changed("new Bilder\n", "new \n"), "an empty \"new\" line");
  expect_refused(changed("new Bilder\n", "sequence 13\n"), "an unknown line");
  expect_refused(changed("\nend\n", "\nsignature abc\nend\n"), "an unknown line");
  // Each kind of line in its place: a record moved after the files is not one
  // the writer wrote.
  expect_refused(changed("\nend\n", "\nupdate id=9|fn=z.dll\nend\n"), "after the lines that follow it");
  expect_refused(changed("\nupdate ", "\nnew Late\nupdate "), "line 10: \"new \" after the lines that follow it");
}

TEST(ReleaseManifest, ControlCharactersAndTextThatIsNotUtf8AreRefused) {
  expect_refused(changed("\n", "\r\n"), "line 1: holds a control character");
  expect_refused(changed("new Bilder", "new Bil\tder"), "line 5: holds a control character");
  expect_refused(changed("fn=a.dll", std::string("fn=a\0.dll", 9)), "holds a control character");
  expect_refused(changed("Bilder", "Bilder\x7F"), "holds a control character");
  expect_refused(changed("Große",
                         "Gro\xDF"
                         "e"),
                 "is not UTF-8 text");
  expect_refused(changed("Große", "Gro\xC3"), "is not UTF-8 text");
  expect_refused(changed("Große", "Gro\xC0\xAF"), "is not UTF-8 text");      // an overlong "/"
  expect_refused(changed("Große", "Gro\xED\xA0\x80"), "is not UTF-8 text");  // a surrogate
}

TEST(ReleaseManifest, NumbersAndDigestsSpelledOtherwiseThanWrittenAreRefused) {
  for (const std::string& sequence :
       Texts{"18446744073709551616", "99999999999999999999999", "012", "-1", "+12", "1 2", "12 ", " 12", "0x0C", ""}) {
    SCOPED_TRACE(sequence);
    expect_refused(changed("sequence 12", "sequence " + sequence), "line 2: the sequence is no number");
  }
  const auto largest = read_manifest(changed("sequence 12", "sequence 18446744073709551615"));
  ASSERT_TRUE(largest) << largest.failure().reason;
  EXPECT_EQ(largest->sequence, 18446744073709551615u);

  for (const std::string& size : Texts{"18446744073709551616", "0300000", "-300000", "3e5", ""}) {
    SCOPED_TRACE(size);
    expect_refused(changed("file 300000 ", "file " + size + " "), "the size is no number");
  }
  expect_refused(changed("file 300000 010a131c", "file 300000  010a131c"), "the SHA-256 is not 64 lowercase hex");

  // The a.dll line's digest, spelled otherwise.
  const std::string text = write_manifest(sample());
  const std::size_t at = text.find("file 300000 ") + 12;
  const std::string digest = text.substr(at, 64);
  for (const std::string& other :
       Texts{digest.substr(0, 63), digest + "0", "010A" + digest.substr(4), "g" + digest.substr(1),
             digest.substr(0, 63) + " ", digest.substr(0, 62) + "ß"}) {
    SCOPED_TRACE(other);
    std::string bad = text;
    bad.replace(at, 64, other);
    expect_refused(bad, "the SHA-256 is not 64 lowercase hex digits");
  }
  std::string nameless = text;
  nameless.replace(at + 64, 6, "");  // " a.dll" gone
  expect_refused(nameless, "the SHA-256 is not 64 lowercase hex digits");
}

TEST(ReleaseManifest, ADateOfAnotherFormIsRefused) {
  for (const std::string& date :
       Texts{"2026-12-09 08:30:00Z", "2026-12-09T08:30:00", "2026-12-09T08:30:00+01:00", "2026-13-09T08:30:00Z",
             "2026-12-00T08:30:00Z", "2026-12-09T24:00:00Z", "2026-12-09T08:60:00Z", "2026-12-09T08:30:60Z",
             "26-12-09T08:30:00Z", "2026-1a-09T08:30:00Z", "gestern", ""}) {
    SCOPED_TRACE(date);
    expect_refused(changed("date 2026-12-09T08:30:00Z", "date " + date), "line 3: the date is not of the form");
  }
}

TEST(ReleaseManifest, AFileNamedTwiceOrNotByABareNameIsRefused) {
  const std::string text = write_manifest(sample());
  const std::size_t line = text.find("file 300000 ");
  const std::string a_dll = text.substr(line, text.find('\n', line) + 1 - line);
  std::string twice = text;
  twice.insert(text.find("\nend\n") + 1, a_dll);
  expect_refused(twice, "line 15: the file \"a.dll\" is named twice");
  // Another size under the same name is no less a second file.
  std::string twice_other = text;
  twice_other.insert(text.find("\nend\n") + 1, "file 1" + a_dll.substr(11));
  expect_refused(twice_other, "is named twice");
  // Names differing in letter case are two names: a client compares exactly.
  std::string other_case = text;
  other_case.insert(text.find("\nend\n") + 1, "file 1" + a_dll.substr(11, 66) + "A.DLL\n");
  EXPECT_TRUE(read_manifest(other_case)) << other_case;

  for (const std::string& name : Texts{"sub/a.dll", "..\\a.dll", "..", "."}) {
    SCOPED_TRACE(name);
    expect_refused(changed(" a.dll\n", " " + name + "\n"), "names no file in the FTP folder");
  }
}

TEST(ReleaseManifest, TheFileNamesOfAReleaseCarryItsSequence) {
  EXPECT_EQ(manifest_file_name(12), "qor-release-12.manifest");
  EXPECT_EQ(signature_file_name(12), "qor-release-12.sig");
  EXPECT_EQ(manifest_sequence_of("qor-release-12.manifest"), 12u);
  EXPECT_EQ(manifest_sequence_of(manifest_file_name(18446744073709551615u)), 18446744073709551615u);
  EXPECT_EQ(manifest_sequence_of("qor-release-0.manifest"), 0u);
  for (const std::string& other :
       Texts{"qor-release-12.sig", "qor-release-.manifest", "qor-release-012.manifest", "qor-release-1a.manifest",
             "qor-release--1.manifest", "qor-release-18446744073709551616.manifest", "QOR-release-12.manifest",
             "qor-release-12.manifest.part", "~qor-upload-qor-release-12.manifest", "qor-release-12.MANIFEST",
             "qor-release-manifest", "a.dll"}) {
    EXPECT_EQ(manifest_sequence_of(other), std::nullopt) << other;
  }
}

}  // namespace
}  // namespace qor::release
