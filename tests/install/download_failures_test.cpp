// Whole download runs, with the program's own steps, over lists whose files
// cannot be fetched: how many boxes the user sees, what standard error says,
// and the window's close button while a box is up.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/install/real_run.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor::test {
namespace {

using Texts = std::vector<std::string>;

// `count` records of files the server does not have.
std::string missing_records(int count, const std::string& prefix) {
  std::string answer;
  for (int i = 0; i < count; ++i) {
    if (i > 0) answer += "||";
    answer += "id=" + std::to_string(i) + "|fn=" + prefix + std::to_string(i) + ".txt|ve=1|pa=|ar=txt";
  }
  return answer;
}

Texts three_boxes_then(const std::string& summary) {
  return {"Übertragunsfehler", "Übertragunsfehler", "Übertragunsfehler", summary};
}

TEST(DownloadFailures, ThreeBoxesThenOneMessageForTheRestOfEachRunWithEveryNameOnStandardError) {
  TempDir program;
  PublishedAnswers server(missing_records(300, "in"), "id=1|fn=up.txt|ve=1|pa=|ar=txt||" + missing_records(4, "up"),
                          {{"up.txt", "fine"}});
  ClientRun run(program.path(), server.address());
  run.log_in();
  ASSERT_EQ(run.list_install().size(), 300u);
  const StderrCapture errors;
  run.download();
  EXPECT_EQ(run.host.texts(), three_boxes_then("Übertragunsfehler / Transfer failed:\r\n297 weitere Dateien / 297 more "
                                               "files\r\n300 Dateien insgesamt / 300 files in all"));
  EXPECT_EQ(run.host.messages.back().caption, "QOR_sync_PRO");
  // Every failure keeps its own line with its reason, and the gathered names
  // are said once more together.
  EXPECT_EQ(errors.lines_with("transfer of in").size(), 300u);
  const Texts gathered = errors.lines_with("297 more files failed: ");
  ASSERT_EQ(gathered.size(), 1u) << errors.text();
  EXPECT_NE(gathered[0].find(": in3.txt, in4.txt, "), std::string::npos) << gathered[0];
  EXPECT_TRUE(gathered[0].ends_with(", in299.txt")) << gathered[0];

  // The next run counts afresh; a single failure past the boxes is named as one.
  run.host.messages.clear();
  ASSERT_EQ(run.list_update().size(), 5u);
  run.download();
  EXPECT_EQ(run.host.texts(), three_boxes_then("Übertragunsfehler / Transfer failed:\r\n1 weitere Datei / 1 more "
                                               "file\r\n4 Dateien insgesamt / 4 files in all"));
  EXPECT_EQ(read_file(program / "up.txt"), "fine");
}

// A record without a place fails before any transfer: it counts the same.
TEST(DownloadFailures, RecordsWithoutAPlaceCountTowardsTheBoxes) {
  TempDir program;
  PublishedAnswers server(
      "",
      "id=1|fn=|ve=1|pa=|ar=txt||id=2|fn=.|ve=1|pa=|ar=txt||id=3|fn=..|ve=1|pa=|ar=txt||id=4|fn=a/b|ve=1|pa=|ar=txt",
      {});
  ClientRun run(program.path(), server.address());
  run.log_in();
  ASSERT_EQ(run.list_update().size(), 4u);
  run.download();
  EXPECT_EQ(run.host.texts(), three_boxes_then("Übertragunsfehler / Transfer failed:\r\n1 weitere Datei / 1 more "
                                               "file\r\n4 Dateien insgesamt / 4 files in all"));
  EXPECT_EQ(server.retrievals(0), 0);
}

// The user closes the window while the second box is up: the run ends
// there, quietly: no box, no transfer and no step after it.
TEST(DownloadFailures, ClosingTheWindowWhileABoxIsUpEndsTheRunWithNothingAfterIt) {
  TempDir program;
  PublishedAnswers server(missing_records(20, "in") + "||id=99|fn=last.txt|ve=1|pa=|ar=txt",
                          "id=1|fn=up.txt|ve=1|pa=|ar=txt", {{"last.txt", "last"}, {"up.txt", "up"}});
  ClientRun run(program.path(), server.address());
  run.log_in();
  ASSERT_EQ(run.list_install().size(), 21u);
  run.host.on_message = [&run] {
    if (run.host.messages.size() == 2) run.host.window_closed = true;
  };
  const StderrCapture errors;
  run.form->Label3_Click(1);  // the install run; the update list would follow
  run.form->Timer4.Tick();
  EXPECT_EQ(run.host.texts(), Texts(2, "Übertragunsfehler"));
  EXPECT_TRUE(errors.lines_with("more files failed").empty()) << errors.text();
  EXPECT_EQ(run.form->List3.ListCount(), 21) << "the update list was not asked for";
  EXPECT_EQ(file_names(program.path()), Texts{}) << "last.txt would have arrived";
}

}  // namespace
}  // namespace qor::test
