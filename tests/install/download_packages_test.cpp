// Download runs over real List1/List3 contents into a temporary program
// folder; the fetch copies from a local folder standing in for the server.
#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "install_test_support.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;

class DownloadRun : public ::testing::Test, public test::InstallFixture {
 protected:
  DownloadRun() : locale_("LC_ALL", "de_DE.UTF-8") {
    fetch.source = remote.path();
    for (const char* f : {"a.txt", "b.txt", "c.txt", "app.exe", "up.dll", "nodate.dll", "base.db3"})
      test::write_file(remote / f, "new");
  }
  void run() { download_packages(*form, fetch.fn()); }

  test::TempDir remote;
  test::CopyingFetch fetch;

 private:
  test::ScopedEnv locale_;
};

TEST_F(DownloadRun, MakesANewProgramStartableAndStampsOnlyUsableDatesOfDateKinds) {
  const std::string version = "07.12.2026 14:05:09";
  build_lists({"fn=app.exe|ve=1.0.0.0|pa=|ar=exe", "fn=up.dll|ve=" + version + "|ar=DLL",
               "fn=nodate.dll|ve=7.12.2026|ar=dll", "fn=base.db3|ve=" + version + "|ar=db3"},
              0);
  run();
  ASSERT_EQ(fetch.calls.size(), 4u);
  struct stat st {};
  ASSERT_EQ(::stat(at("app.exe").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0111, 0111u);
  for (const char* f : {"up.dll", "nodate.dll", "base.db3"}) {
    EXPECT_GT(*fs->DateLastModified(at(f)), std::chrono::system_clock::now() - std::chrono::hours(1)) << f;
  }
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

TEST_F(DownloadRun, ClicksOnTheDownloadButtonsDuringARunStartNoSecondRun) {
  build_lists({"fn=a.txt|ar=txt", "fn=b.txt|ar=txt"}, 0);
  auto fetch_fn = fetch.fn();
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
