// The files of a download run put in place together: nothing shows under
// its name before the run's placement, each file goes where and how it was
// held, a place taken meanwhile keeps its file, and the journal lasts
// exactly from before the first rename until everything is durable. A run
// stopped between its renames is finished at the next start from that
// journal, whatever point it stopped at.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "portable/stop_point.hpp"
#include "portable/transfer/placement_journal.hpp"
#include "tests/platform/contract/files/file_system_suite.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor::test {
namespace {

using PlacementRuns = FileSystemSuite;

// Starts a replacement of `path` with `content` and hands it to the run.
void hold(FileSystem& files, PlacementRun& run, const std::string& path, const std::string& content,
          Placement placement, std::optional<FILETIME> stamp = std::nullopt) {
  auto target = files.replace_file(path);
  ASSERT_TRUE(target) << target.failure().reason;
  ASSERT_TRUE((*target)->write(content.data(), content.size()));
  const Status held = run.hold(std::move(*target), Placing{placement, stamp, false});
  ASSERT_TRUE(held) << held.failure().reason;
}

// The program folder a run of three files starts from: an old program, a
// user's database, an empty sub-folder.
void lay_out_old_folder(const std::string& folder) {
  write_file(folder + "/old.exe", "old");
  write_file(folder + "/kunden.db3", "the user's own");
  std::filesystem::create_directories(native(folder + "/sub"));
}

// The three files' run: a program replaced, a library new in the
// sub-folder, and a database meant only for an empty place.
void run_three(FileSystem& files, const std::string& folder, std::vector<Result<Committed>>* results = nullptr) {
  const auto run = files.start_placement_run();
  hold(files, *run, folder + "\\old.exe", "new program", Placement::Replace);
  hold(files, *run, folder + "\\sub\\new.dll", "library", Placement::OnlyIfAbsent);
  hold(files, *run, folder + "\\kunden.db3", "the server's", Placement::OnlyIfAbsent);
  auto placed = run->place_all();
  if (results != nullptr) *results = placed;
  const Status settled = run->settle();
  ASSERT_TRUE(settled) << settled.failure().reason;
}

void expect_run_done(const std::string& folder) {
  EXPECT_EQ(read_file(folder + "/old.exe"), "new program");
  EXPECT_EQ(read_file(folder + "/sub/new.dll"), "library");
  EXPECT_EQ(read_file(folder + "/kunden.db3"), "the user's own");
  EXPECT_EQ(file_names(folder), (std::vector<std::string>{"kunden.db3", "old.exe", "sub"}));
  EXPECT_EQ(file_names(folder + "/sub"), std::vector<std::string>{"new.dll"});
}

void expect_old_folder(const std::string& folder) {
  EXPECT_EQ(read_file(folder + "/old.exe"), "old");
  EXPECT_EQ(read_file(folder + "/kunden.db3"), "the user's own");
  EXPECT_EQ(file_names(folder), (std::vector<std::string>{"kunden.db3", "old.exe", "sub"}));
  EXPECT_TRUE(file_names(folder + "/sub").empty());
}

TEST_F(PlacementRuns, HeldFilesShowOnlyOnceTheRunPlacesThemAndThePlacesTakenKeepTheirFiles) {
  lay_out_old_folder(dir.path());
  const auto run = files->start_placement_run();
  hold(*files, *run, dir.path() + "\\old.exe", "new program", Placement::Replace);
  hold(*files, *run, dir.path() + "\\sub\\new.dll", "library", Placement::OnlyIfAbsent);
  hold(*files, *run, dir.path() + "\\kunden.db3", "the server's", Placement::OnlyIfAbsent);
  EXPECT_EQ(run->held(), 3u);
  EXPECT_EQ(read_file(dir / "old.exe"), "old");
  EXPECT_FALSE(files->FileExists(dir.path() + "\\sub\\new.dll"));

  const auto placed = run->place_all();
  ASSERT_EQ(placed.size(), 3u);
  for (const auto& result : placed) ASSERT_TRUE(result) << result.failure().reason;
  EXPECT_EQ(*placed[0], Committed::Placed);
  EXPECT_EQ(*placed[1], Committed::Placed);
  EXPECT_EQ(*placed[2], Committed::PlaceTaken);
  EXPECT_EQ(run->held(), 0u);
  // Until the run has settled, the journal could finish it.
  EXPECT_TRUE(files->FileExists(dir.path() + "\\" + kPlacementJournalName));
  const Status settled = run->settle();
  ASSERT_TRUE(settled) << settled.failure().reason;
  expect_run_done(dir.path());

  // Nothing held: no journal, nothing to settle.
  const auto empty = files->start_placement_run();
  EXPECT_TRUE(empty->place_all().empty());
  EXPECT_TRUE(empty->settle());
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{"kunden.db3", "old.exe", "sub"}));
}

// The stamp is on the file before it shows under its name; a file that is
// not placed passes none of it on to the file kept there.
TEST_F(PlacementRuns, AFileShowsUnderItsNameAlreadyStampedAndAPlaceTakenKeepsItsTime) {
  write_file(dir / "kunden.db3", "the user's own");
  const auto users_time = times_of(dir / "kunden.db3").write;
  const auto run = files->start_placement_run();
  hold(*files, *run, dir.path() + "\\a.dll", "library", Placement::Replace, file_time_of(1796652309));
  hold(*files, *run, dir.path() + "\\kunden.db3", "the server's", Placement::OnlyIfAbsent, file_time_of(1796652309));
  const auto placed = run->place_all();
  ASSERT_EQ(placed.size(), 2u);
  ASSERT_TRUE(placed[0]) << placed[0].failure().reason;
  EXPECT_EQ(times_of(dir / "a.dll").write, std::chrono::system_clock::time_point(std::chrono::seconds(1796652309)));
  EXPECT_EQ(times_of(dir / "kunden.db3").write, users_time);
  EXPECT_EQ(read_file(dir / "kunden.db3"), "the user's own");
  EXPECT_TRUE(run->settle());
}

TEST_F(PlacementRuns, ARunGivenUpBeforeItsPlacementLeavesTheOldFilesAndNoTrace) {
  lay_out_old_folder(dir.path());
  {
    const auto run = files->start_placement_run();
    hold(*files, *run, dir.path() + "\\old.exe", "new program", Placement::Replace);
    hold(*files, *run, dir.path() + "\\sub\\new.dll", "library", Placement::Replace);
  }
  expect_old_folder(dir.path());
}

// A journal as a run writes it, with temporary files laid by hand.
class InterruptedRuns : public FileSystemSuite {
 protected:
  void write_journal(const std::vector<JournalEntry>& entries) {
    const auto text = write_placement_journal(entries);
    ASSERT_TRUE(text) << text.failure().reason;
    write_file(dir / kPlacementJournalName, *text);
  }
};

TEST_F(InterruptedRuns, TheNextStartFinishesTheRenamesTheJournalListsAndOnlyThose) {
  write_file(dir / "old.exe", "old");
  write_file(dir / ".qor-download-aaaaa1", "new program");
  std::filesystem::create_directories(native(dir / "sub"));
  write_file(dir / "sub/.qor-download-aaaaa2", "library");
  write_file(dir / "kunden.db3", "the user's own");
  write_file(dir / ".qor-download-aaaaa3", "the server's");
  write_file(dir / ".qor-download-aaaaa4", "fresh");
  write_file(dir / "done.dll", "placed before the stop");
  write_file(dir / ".qor-download-bbbbb1", "not in the journal");
  write_journal({{false, "", ".qor-download-aaaaa1", "old.exe"},
                 {false, "sub", ".qor-download-aaaaa2", "new.dll"},
                 {true, "", ".qor-download-aaaaa3", "kunden.db3"},
                 {true, "", ".qor-download-aaaaa4", "fresh.db3"},
                 {false, "", ".qor-download-aaaaa5", "done.dll"}});

  const Status finished = files->finish_interrupted_run();
  ASSERT_TRUE(finished) << finished.failure().reason;
  EXPECT_EQ(read_file(dir / "old.exe"), "new program");
  EXPECT_EQ(read_file(dir / "sub/new.dll"), "library");
  EXPECT_EQ(read_file(dir / "kunden.db3"), "the user's own");
  EXPECT_EQ(read_file(dir / "fresh.db3"), "fresh");
  EXPECT_EQ(read_file(dir / "done.dll"), "placed before the stop");
  // What the journal does not name is the leftover cleanup's.
  EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{".qor-download-bbbbb1", "done.dll", "fresh.db3",
                                                              "kunden.db3", "old.exe", "sub"}));
  EXPECT_EQ(file_names(dir / "sub"), std::vector<std::string>{"new.dll"});
  // A second start finds nothing to do.
  EXPECT_TRUE(files->finish_interrupted_run());
}

TEST_F(InterruptedRuns, AJournalThatCannotBeTrustedMovesNothingAndGoes) {
  write_file(dir / "old.exe", "old");
  write_file(dir / ".qor-download-aaaaa1", "new program");
  for (const std::string& text : {std::string("qor placement journal 1\nR\t\t.qor-download-aaaaa1\told.exe\n"),
                                  std::string("qor placement journal 1\nR\t..\t.qor-download-aaaaa1\told.exe\nend\n"),
                                  std::string("something else\nend\n")}) {
    SCOPED_TRACE(text);
    write_file(dir / kPlacementJournalName, text);
    const Status finished = files->finish_interrupted_run();
    ASSERT_FALSE(finished);
    EXPECT_TRUE(holds(finished.failure().reason, "placement journal"));
    EXPECT_EQ(read_file(dir / "old.exe"), "old");
    EXPECT_EQ(file_names(dir.path()), (std::vector<std::string>{".qor-download-aaaaa1", "old.exe"}));
  }
}

// A link put into the program folder after the stop leads nowhere: the
// journal's folder is walked as every write is, and the other entries are
// still finished.
TEST_F(InterruptedRuns, AJournalEntryThroughALinkIsRefusedAndTheRestFinished) {
  write_file(elsewhere / ".qor-download-aaaaa1", "planted");
  write_file(elsewhere / "victim.dll", "not the client's");
  link(dir / "out", elsewhere.path());
  write_file(dir / ".qor-download-aaaaa2", "new");
  write_journal({{false, "out", ".qor-download-aaaaa1", "victim.dll"}, {false, "", ".qor-download-aaaaa2", "a.dll"}});
  const Status finished = files->finish_interrupted_run();
  EXPECT_FALSE(finished);
  EXPECT_EQ(read_file(elsewhere / "victim.dll"), "not the client's");
  EXPECT_EQ(read_file(elsewhere / ".qor-download-aaaaa1"), "planted");
  EXPECT_EQ(read_file(dir / "a.dll"), "new");
  EXPECT_FALSE(files->FileExists(dir.path() + "\\" + kPlacementJournalName));
}

// The run of three files stopped dead at one point, as by a crash, then the
// program started again. A child process does the run; a child that runs
// this test anew from its start (as on Windows) works in the parent's
// folder, handed down in the environment.
struct Stop {
  const char* point;
  bool renamed_first;  // the program was replaced before the stop
};
void PrintTo(const Stop& stop, std::ostream* out) { *out << stop.point; }

class PlacementCrash : public FileSystemSuite, public ::testing::WithParamInterface<Stop> {
 protected:
  std::string folder() {
    if (const char* inherited = std::getenv("QOR_TEST_RUN_FOLDER")) return inherited;
    return dir.path();
  }
};

TEST_P(PlacementCrash, TheNextStartLeavesTheFolderAsTheRunMeantOrAsItWas) {
  const std::string at = folder();
  const ScopedEnv handed_down("QOR_TEST_RUN_FOLDER", at);
  lay_out_old_folder(at);
  EXPECT_EXIT(
      {
        const ScopedEnv stop("QOR_STOP_AT", std::string(GetParam().point));
        const auto child_files = make_local_file_system(at + "\\");
        run_three(*child_files, at);
      },
      ::testing::ExitedWithCode(kStoppedAtPoint), "");

  EXPECT_EQ(read_file(at + "/old.exe"), GetParam().renamed_first ? "new program" : "old");
  const auto next_start = make_local_file_system(at + "\\");
  const Status finished = next_start->finish_interrupted_run();
  ASSERT_TRUE(finished) << finished.failure().reason;
  ASSERT_TRUE(next_start->remove_download_leftovers());
  if (std::string_view(GetParam().point) == kStopAfterFlush) {
    expect_old_folder(at);  // stopped before anything was meant for good
  } else {
    expect_run_done(at);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPoint, PlacementCrash,
                         ::testing::Values(Stop{"placement-flushed", false}, Stop{"placement-journal", false},
                                           Stop{"placement-renamed:1", true}, Stop{"placement-renamed:2", true},
                                           Stop{"placement-settled", true}),
                         [](const ::testing::TestParamInfo<Stop>& info) {
                           std::string name;
                           for (const char c : std::string(info.param.point))
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

}  // namespace
}  // namespace qor::test
