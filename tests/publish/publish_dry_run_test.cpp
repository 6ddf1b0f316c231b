// The dry run against catalogues published before: written by the tool, or
// by hand as docs/update-server.md shows them (records as texts, numbers as
// numbers, escapes), and broken ones, which it refuses without harm.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/publish/publish_fixture.hpp"

namespace qor::test {
namespace {

TEST(DryRun, AHandWrittenCatalogueIsComparedByNameRegardlessOfCaseAndWritesNothing) {
  ReleaseFolder release;
  release.put("QOR_software.exe", "MZ");
  release.put("Bilder/Größe.jpg", "picture", utc(2026, 7, 15, 8));
  release.put("a.dll", "library", utc(2026, 7, 15, 8));
  const std::string published = release.root() + "/../published.json";
  write_file(published,
             "{\"captions\": {}, \"settings\": {\"fo\": \"/\", \"us\": \"qor\", \"pa\": \"pw\"},\n"
             " \"install\": [],\n"
             " \"update\": [{\"id\": 1, \"fn\": \"QOR_software.exe\", \"ve\": \"\", \"pa\": \"\", \"ar\": \"exe\","
             " \"ja\": 2026, \"st\": 0},\n"
             "   \"id=2|fn=gr\\u00d6\\u00dfe.jpg|ve=01.01.2020|pa=Bilder|ar=jpg|ja=2020|st=0\",\n"
             "   \"id=3|fn=alt.dll|ve=01.01.2020|pa=|ar=dll|ja=2020|st=0\"],\n"
             " \"mainprogram\": \"QOR_software.exe\", \"updaprogram\": \"QOR_sync.exe\"}");
  const std::string before = read_file(published);
  const PublishRun run = release.dry_run(published);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(read_file(published), before);
  EXPECT_FALSE(std::filesystem::exists(release.catalogue()));
  // The dates depend on the time zone: each line up to its first version.
  std::istringstream lines(run.out);
  std::vector<std::string> out;
  for (std::string line; std::getline(lines, line);)
    out.push_back(line.substr(0, std::min(line.find("ve \""), line.find("ve="))));
  EXPECT_EQ(out, (std::vector<std::string>{"changed   Bilder\\Größe.jpg  (name \"grÖße.jpg\" -> \"Größe.jpg\", ",
                                           "changed   QOR_software.exe  (content not known as published)",
                                           "added     a.dll  (dll, ", "removed   alt.dll", "catalogue new folders",
                                           "1 added, 2 changed, 1 removed, 0 unchanged"}))
      << run.out;
}

TEST(DryRun, ABrokenPublishedCatalogueIsRefusedWithItsReasonAndNothingPublishedYetIsEveryFileAdded) {
  ReleaseFolder release;
  release.put("QOR_software.exe", "MZ");
  const std::string published = release.root() + "/../published.json";
  for (const std::string& broken :
       {std::string("{\"update\": [\"id=1\", 2]}"), std::string("[1, 2,]"), std::string("{\"a\": 1.5}"),
        std::string("{\"a\": \"\\ud800\"}"), std::string(100000, '['), std::string("{\"a\": 1} x")}) {
    write_file(published, broken);
    const PublishRun run = release.dry_run(published);
    EXPECT_EQ(run.exit_code, 3) << broken.substr(0, 40);
    EXPECT_NE(run.err.find("the published catalogue"), std::string::npos) << run.err;
  }
  std::filesystem::remove(published);
  const PublishRun first = release.dry_run(published);
  EXPECT_EQ(first.exit_code, 0) << first.err;
  EXPECT_NE(first.out.find("added     QOR_software.exe"), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("1 added, 0 changed, 0 removed, 0 unchanged"), std::string::npos) << first.out;
}

}  // namespace
}  // namespace qor::test
