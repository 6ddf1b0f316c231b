// Download runs over real List1/List3 contents into a temporary program
// folder; the fetch copies from a local folder standing in for the server.
#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "filetime/local_date.hpp"
#include "tests/install/install_fixture.hpp"
#include "tests/support/scoped_env.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;

class DownloadRun : public ::testing::Test, public test::InstallFixture {
 protected:
  DownloadRun() : locale_("LC_ALL", "de_DE.UTF-8") {
    fetch.source = remote.path();
    for (const char* f : {"a.txt", "b.txt", "c.txt", "app.exe", "old.exe", "up.dll", "pic.jpg", "qor_base.db3",
                          "upper.dll", "nodate.dll", "base.db3", "qor_buch.db3"})
      test::write_file(remote / f, "new");
  }
  void run() { download_packages(*form, fetch.fn(*form->file_system)); }

  test::TempDir remote;
  test::CopyingFetch fetch;

 private:
  test::ScopedEnv locale_;
};

// The version date lies far in the past, so a stamped file cannot pass for
// one that was merely written now, nor the other way round.
TEST_F(DownloadRun, MakesANewProgramStartableAndStampsOnlyUsableDatesOfDateKinds) {
  const std::string version = "07.12.1999 14:05:09";
  test::write_file(at("old.exe"), "old");  // a program already there keeps its bits
  ::chmod(at("old.exe").c_str(), 0640);
  build_lists(
      {"fn=app.exe|ve=1.0.0.0|pa=|ar=exe", "fn=old.exe|ve=1.0.0.0|ar=exe", "fn=up.dll|ve=" + version + "|ar=dll",
       "fn=pic.jpg|ve=" + version + "|ar=jpg", "fn=qor_base.db3|ve=" + version + "|ar=db3",
       // Not date-versioned, or no date in the user's form: fetched, not stamped.
       "fn=upper.dll|ve=" + version + "|ar=DLL", "fn=nodate.dll|ve=7.12.1999|ar=dll",
       "fn=base.db3|ve=" + version + "|ar=db3",
       // The user's database is never a program, whatever the server calls it.
       "fn=qor_buch.db3|ve=1|pa=|ar=exe"},
      1);
  // The file system's clock may lag the system clock by a tick.
  const auto before = std::chrono::system_clock::now() - std::chrono::seconds(1);
  run();
  ASSERT_EQ(fetch.calls.size(), 9u);
  EXPECT_EQ(test::mode_of(at("qor_buch.db3")) & 0111, 0u);
  const mode_t fresh = test::mode_of(at("app.exe"));
  EXPECT_NE(fresh & 0100, 0u);
  EXPECT_EQ(fresh & 0111, (fresh & 0444) >> 2) << "execute wherever read is granted";
  EXPECT_EQ(test::mode_of(at("old.exe")) & 0111, 0u);
  for (const char* f : {"up.dll", "pic.jpg", "qor_base.db3"}) {
    EXPECT_EQ(utc_to_local_date(*fs->DateLastModified(at(f))), (DateValue{1999, 12, 7, 14, 5, 9})) << f;
  }
  for (const char* f : {"app.exe", "upper.dll", "nodate.dll", "base.db3", "qor_buch.db3"}) {
    EXPECT_GE(*fs->DateLastModified(at(f)), before) << f;
  }
}

// Only a file the check found there (and whose version differed) is
// replaced. A file due because it was missing, and the user's databases, go
// only where the place is still empty: here the user put new.jpg back
// while the panel waited.
TEST_F(DownloadRun, OnlyAFileTheCheckFoundIsReplacedTheOthersOnlyFillAnEmptyPlace) {
  test::write_file(at("old.exe"), "old");
  test::write_file(remote / "qor_buch.db3", "the server's template");
  build_lists({"fn=old.exe|ve=9.9.9.9|ar=exe", "fn=new.jpg|ve=1|ar=jpg", "fn=QOR_BUCH.db3|ve=1|ar=db3"}, 1);
  ASSERT_EQ(due(), (std::vector<std::string>{"old.exe", "new.jpg", "QOR_BUCH.db3"}));
  test::write_file(at("new.jpg"), "the user's");
  run();
  EXPECT_EQ(fetch.placements,
            (std::vector<Placement>{Placement::Replace, Placement::OnlyIfAbsent, Placement::OnlyIfAbsent}));
  EXPECT_EQ(test::read_file(at("old.exe")), "new");
  EXPECT_EQ(test::read_file(at("new.jpg")), "the user's");

  fetch.placements.clear();
  build_lists({"fn=a.txt|ar=txt"}, 0);
  run();
  EXPECT_EQ(fetch.placements, std::vector<Placement>{Placement::OnlyIfAbsent});
}

// A place the user filled while the panel waited holds their file: the run
// must neither make it startable nor stamp it as the version it is not.
TEST_F(DownloadRun, AFileWhosePlaceWasTakenIsNeitherMadeStartableNorStamped) {
  const std::string version = "07.12.1999 14:05:09";
  build_lists({"fn=app.exe|ve=1.0.0.0|ar=exe", "fn=pic.jpg|ve=" + version + "|ar=jpg"}, 1);
  ASSERT_EQ(due(), (std::vector<std::string>{"app.exe", "pic.jpg"}));
  test::write_file(at("app.exe"), "the user's");
  ::chmod(at("app.exe").c_str(), 0640);
  test::write_file(at("pic.jpg"), "the user's");
  const auto before = std::chrono::system_clock::now() - std::chrono::seconds(1);
  run();
  EXPECT_TRUE(host.messages.empty()) << host.texts().front();
  EXPECT_EQ(test::read_file(at("app.exe")), "the user's");
  EXPECT_EQ(test::mode_of(at("app.exe")) & 0777, 0640u);
  EXPECT_GE(*fs->DateLastModified(at("pic.jpg")), before);
}

// The file is in place and only its stamp is missing: the next run fetches
// it again. No box stops the run; standard error says which file and why.
TEST_F(DownloadRun, AStampThatFailsIsToldOnStandardErrorAndTheRunGoesOn) {
  build_lists({"fn=up.dll|ve=07.12.1600 14:05:09|ar=dll", "fn=pic.jpg|ve=07.12.1999 14:05:09|ar=jpg"}, 1);
  ASSERT_EQ(due(), (std::vector<std::string>{"up.dll", "pic.jpg"}));
  const test::StderrCapture errors;
  run();
  EXPECT_TRUE(host.messages.empty()) << host.texts().front();
  EXPECT_EQ(test::read_file(at("up.dll")), "new");
  EXPECT_EQ(utc_to_local_date(*fs->DateLastModified(at("pic.jpg"))), (DateValue{1999, 12, 7, 14, 5, 9}));
  EXPECT_EQ(errors.failure_lines(),
            std::vector<std::string>{"QOR_sync_PRO: stamp: stamp " + at("up.dll") +
                                     ": the date 1600-12-07 14:05:09 names no time a file can carry"});
}

TEST_F(DownloadRun, TheBarGrowsByOneStepPerFinishedItemAndAnEmptyListShowsNone) {
  build_lists({"fn=a.txt|ar=txt", "fn=b.txt|ar=txt", "fn=c.txt|ar=txt"}, 0);
  const double step = (form->Picture1(1).Width.get() - 2.0 * form->Picture2.Left.get()) / 3;
  std::vector<float> widths;
  host.on_yield = [&] {
    EXPECT_TRUE(form->Picture2.Visible.get());
    widths.push_back(form->Picture2.Width.get());
  };
  run();
  EXPECT_EQ(widths, (std::vector<float>{50, 50, static_cast<float>(step), static_cast<float>(2 * step)}));
  EXPECT_FALSE(form->Picture2.Visible.get());

  form->List3.Clear();
  widths.clear();
  run();
  EXPECT_TRUE(widths.empty());
  EXPECT_EQ(fetch.calls.size(), 3u);
}

TEST_F(DownloadRun, AMissingKeyTakesTheValueTheCheckUsedSoTheFileLandsWhereItWasLookedFor) {
  fs::create_directories(at("one"));
  fs::create_directories(at("two"));
  test::write_file(at("two/b.txt"), "present");
  // Row 2 has no "pa=": the check looked for it in "two", after row 1.
  build_lists({"fn=a.txt|pa=one|ar=txt", "fn=b.txt|pa=two|ar=txt", "fn=c.txt|ar=txt"}, 0);
  ASSERT_EQ(due(), (std::vector<std::string>{"a.txt", "c.txt"}));
  run();
  EXPECT_TRUE(fs::exists(at("one/a.txt")));
  EXPECT_TRUE(fs::exists(at("two/c.txt")));
}

TEST_F(DownloadRun, ListsChangedWhileEventsRunEndTheRunWithoutHarm) {
  build_lists({"fn=a.txt|ar=txt", "fn=b.txt|ar=txt"}, 0);
  form->List3.AddItem("stray");
  form->List3.ItemData(form->List3.NewIndex()) = 99;  // no such row
  run();
  EXPECT_EQ(fetch.calls.size(), 2u);

  host.yields = 0;
  host.on_yield = [&] {
    if (host.yields == 2) {
      form->List1.Clear();
      form->List3.Clear();
    }
  };
  run();
  EXPECT_EQ(fetch.calls.size(), 2u);
  EXPECT_FALSE(form->Picture2.Visible.get());
}

// A user who closes the window while the run yields has ended it: no
// further file is fetched, and the update list that would follow never runs.
TEST_F(DownloadRun, ClosingTheWindowEndsTheRunAndNoStepFollows) {
  build_lists({"fn=a.txt|ar=txt", "fn=b.txt|ar=txt", "fn=c.txt|ar=txt"}, 0);
  auto fetch_fn = fetch.fn(*form->file_system);
  int update_lists = 0;
  form->steps.download_packages = [&] { download_packages(*form, fetch_fn); };
  form->steps.list_update_packages = [&] { ++update_lists; };
  host.on_yield = [&] {
    if (fetch.calls.size() == 1) host.window_closed = true;
  };
  form->Label3(1).Click();
  EXPECT_EQ(fetch.calls.size(), 1u);
  EXPECT_FALSE(fs::exists(at("b.txt")));
  EXPECT_FALSE(form->Picture2.Visible.get());
  form->Timer4.Tick();
  EXPECT_EQ(update_lists, 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DownloadRun, ClicksOnTheDownloadButtonsDuringARunStartNoSecondRun) {
  build_lists({"fn=a.txt|ar=txt", "fn=b.txt|ar=txt"}, 0);
  auto fetch_fn = fetch.fn(*form->file_system);
  form->steps.download_packages = [&] { download_packages(*form, fetch_fn); };
  host.on_yield = [&] {
    form->Label3(1).Click();
    form->Picture3(2).Click();
    form->Command4.Click();
  };
  form->Label3(1).Click();
  EXPECT_EQ(fetch.calls.size(), 2u);
  EXPECT_EQ(host.yields, 3);
  EXPECT_TRUE(form->Timer4.Enabled.get());
  EXPECT_FALSE(form->Picture1(2).Visible.get()) << "panel button 2 ran after all";
}

}  // namespace
}  // namespace qor
