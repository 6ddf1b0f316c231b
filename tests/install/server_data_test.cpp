// Package records as servers really write them, through whole runs of the
// client: the last field followed by a line break, file names that name no
// file, fields carried over from the record before.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/install/real_run.hpp"
#include "tests/support/scoped_env.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor::test {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

class ServerData : public ::testing::Test {
 protected:
  TempDir program;
  ScopedEnv locale{"LC_ALL", "de_DE.UTF-8"};
};

// Every answer ends its last field with a line break; a placement there, or
// one padded with blanks, still puts the file into SQLite3/.
TEST_F(ServerData, APlacementFollowedByALineBreakStillPutsTheFileIntoSQLite3) {
  PublishedAnswers server(
      "id=1|fn=qor_buch.db3|ve=|pa=|ar=db3|ja=2026|st=10\r\n",
      "mainprogram=app.exe||id=2|fn=qor_base.db3|ve=15.07.2026 10:30:00|pa=|ar=db3|ja=2026|st=\t10 \r\n",
      {{"qor_buch.db3", "empty bookings"}, {"qor_base.db3", "base data"}});
  fs::create_directory(program / "SQLite3");
  {
    ClientRun run(program.path(), server.address());
    run.log_in();
    EXPECT_EQ(run.list_install(), Texts{"qor_buch.db3"});
    run.download();
    EXPECT_EQ(run.list_update(), Texts{"qor_base.db3"});
    run.download();
    EXPECT_EQ(run.host.texts(), Texts{});
  }
  EXPECT_EQ(file_names(program.path()), Texts{"SQLite3"});
  EXPECT_EQ(read_file(program / "SQLite3/qor_buch.db3"), "empty bookings");
  EXPECT_EQ(read_file(program / "SQLite3/qor_base.db3"), "base data");

  ClientRun next(program.path(), server.address());
  EXPECT_EQ(next.list_install(), Texts{});
  EXPECT_EQ(next.list_update(), Texts{}) << "stamped where the check looks";
}

// Such a record is due (its file cannot be there), so the user sees it in
// the list and is told it failed; nothing is fetched for it nor written.
TEST_F(ServerData, AFileNameThatNamesNoFileIsListedAndRefusedWithoutTouchingTheDisk) {
  PublishedAnswers server("",
                          "id=1|fn=|ve=1|pa=|ar=txt||id=2|fn=.|ve=1|pa=|ar=txt||id=3|fn=..|ve=1|pa=Sub|ar=txt||"
                          "id=4|fn=Sub/b.txt|ve=1|pa=|ar=txt||id=5|fn=..\\up.txt|ve=1|pa=Sub|ar=txt||"
                          "id=6|fn=ok.txt|ve=1|pa=|ar=txt||id=7|fn=lost.txt|ve=1|pa=../out|ar=txt",
                          {{"ok.txt", "fine"}, {"b.txt", "b"}, {"up.txt", "up"}, {"lost.txt", "lost"}});
  fs::create_directory(program / "Sub");
  ClientRun run(program.path(), server.address());
  run.log_in();
  // A sub-path that leaves the program folder is still never listed.
  EXPECT_EQ(run.list_update(), (Texts{"", ".", "..", "Sub/b.txt", "..\\up.txt", "ok.txt"}));
  const StderrCapture errors;
  run.download();
  // Three boxes, the rest in one message.
  EXPECT_EQ(run.host.texts(), (Texts{"Übertragunsfehler", "Übertragunsfehler", "Übertragunsfehler",
                                     "Übertragunsfehler / Transfer failed:\r\n2 weitere Dateien / 2 more files\r\n5 "
                                     "Dateien insgesamt / 5 files in all"}));
  const Texts reports = errors.failure_lines();
  ASSERT_EQ(reports.size(), 6u) << errors.text();
  EXPECT_TRUE(reports[3].starts_with("QOR_sync_PRO: transfer of Sub/b.txt: ")) << reports[3];
  EXPECT_EQ(server.retrievals(1), 1);
  EXPECT_EQ(file_names(program.path()), (Texts{"Sub", "ok.txt"}));
  EXPECT_EQ(file_names(program / "Sub"), Texts{});
  EXPECT_FALSE(fs::exists(program / "../up.txt"));
}

// The check takes a field missing from a record from the record before it,
// across the install and update lists; the file must land where the check
// looked, or it is fetched again on every run.
TEST_F(ServerData, AFieldCarriedOverFromTheInstallListPlacesTheDownloadToo) {
  PublishedAnswers server("id=1|fn=a.txt|ve=|pa=Bilder|ar=txt|ja=2026|st=0",
                          "id=2|fn=b.txt|ve=|ar=txt|ja=2026||id=3|fn=c.txt|ve=|pa=|ar=txt|ja=2026",
                          {{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}});
  fs::create_directory(program / "Bilder");
  {
    ClientRun run(program.path(), server.address());
    run.log_in();
    EXPECT_EQ(run.list_install(), Texts{"a.txt"});
    run.download();
    EXPECT_EQ(run.list_update(), (Texts{"b.txt", "c.txt"}));
    run.download();
    EXPECT_EQ(run.host.texts(), Texts{});
  }
  EXPECT_EQ(file_names(program / "Bilder"), (Texts{"a.txt", "b.txt"}));
  EXPECT_EQ(file_names(program.path()), (Texts{"Bilder", "c.txt"}));

  ClientRun next(program.path(), server.address());
  next.list_install();
  EXPECT_EQ(next.list_update(), Texts{});
}

// Servers end the transfer settings with a line break too, after whichever
// field they write last: the login still succeeds and everything arrives.
TEST_F(ServerData, TransferSettingsEndingInALineBreakAfterAnyFieldStillGetEveryFile) {
  for (const std::string last : {"se", "fo", "us", "pa"}) {
    SCOPED_TRACE(last + " last");
    std::string order;
    for (const std::string key : {"se", "fo", "us", "pa"})
      if (key != last) order += "\"" + key + "\", ";
    order += "\"" + last + "\"";
    PublishedAnswers server(
        "id=1|fn=a.txt|ve=|pa=|ar=txt|ja=2026|st=0\r\n",
        "mainprogram=app.exe||id=2|fn=b.txt|ve=|pa=|ar=txt|ja=2026|st=0\r\n", {{"a.txt", "a"}, {"b.txt", "b"}},
        R"({"settings": {"fo": "/qor/packages", "us": "qor", "pa": "pw", "end": "\r\n", "order": [)" + order + "]}}");
    TempDir folder;
    ClientRun run(folder.path(), server.address());
    run.log_in();
    EXPECT_EQ(run.form->Label1(1).Caption.get(), last == "fo" ? "/qor/packages\r\n" : "/qor/packages");
    EXPECT_EQ(run.list_install(), Texts{"a.txt"});
    run.download();
    EXPECT_EQ(run.list_update(), Texts{"b.txt"});
    run.download();
    EXPECT_EQ(run.host.texts(), Texts{});
    EXPECT_EQ(file_names(folder.path()), (Texts{"a.txt", "b.txt"}));
  }
}

// A line break in a folder name would reach the desktop entry and the
// user's messages as a line of its own. Such names are refused as file names
// are: listed, reported, never made; a package below one is never written.
TEST_F(ServerData, FolderNamesWithControlCharactersAreListedAndRefusedButNeverMade) {
  PublishedAnswers server(
      "", "id=1|fn=a.txt|ve=|pa=nl\nExec=x|ar=txt||id=2|fn=b.txt|ve=|pa=Neu\t|ar=txt||id=3|fn=c.txt|ve=|pa=Neu|ar=txt",
      {{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}},
      R"({"settings": {"fo": "/", "us": "qor", "pa": "pw"}, "new": ["nl\nExec=x", "Del\u007f", "Neu"]})");
  ClientRun run(program.path(), server.address());
  run.log_in();
  run.form->steps.list_new_packages();
  EXPECT_EQ(run.form->List2.texts(), (Texts{"nl\nExec=x", "Del\x7f", "Neu"}));
  const StderrCapture errors;
  run.form->Label3_Click(0);
  const Texts shown = run.host.texts();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].starts_with("Ordner konnte nicht angelegt werden / Folder could not be created:")) << shown[0];
  EXPECT_EQ(file_names(program.path()), Texts{"Neu"});

  EXPECT_EQ(run.list_update(), (Texts{"a.txt", "b.txt", "c.txt"}));
  run.download();
  EXPECT_EQ(run.host.texts(), (Texts{shown[0], "Übertragunsfehler", "Übertragunsfehler"}));
  const Texts reports = errors.failure_lines();
  EXPECT_EQ(std::count_if(reports.begin(), reports.end(),
                          [](const std::string& line) { return line.ends_with("holds a control character"); }),
            4)
      << errors.text();
  EXPECT_EQ(server.retrievals(1), 1);
  EXPECT_EQ(file_names(program.path()), Texts{"Neu"});
  EXPECT_EQ(file_names(program / "Neu"), Texts{"c.txt"});
}

// A run ended during a download left its temporary files; the next run
// removes them at its download step, also when nothing is due.
TEST_F(ServerData, LeftoversOfAKilledRunGoAlsoWhenNothingIsDue) {
  PublishedAnswers server("", "mainprogram=app.exe", {});
  fs::create_directory(program / "Sub");
  write_file(program / ".qor-download-k1Ll3d", "half a file");
  write_file(program / "Sub/.qor-download-AbC123", "half a file");
  write_file(program / "Sub/.qor-download-ab12", "not one of them");
  ClientRun run(program.path(), server.address());
  run.log_in();
  EXPECT_EQ(run.list_install(), Texts{});
  EXPECT_EQ(run.list_update(), Texts{});
  EXPECT_EQ(file_names(program.path()), Texts{"Sub"});
  EXPECT_EQ(file_names(program / "Sub"), Texts{".qor-download-ab12"});
  EXPECT_EQ(run.host.texts(), Texts{});
}

}  // namespace
}  // namespace qor::test
