// Download runs over real List1/List3 contents into a temporary program
// folder; the fetch copies from a local folder standing in for the server.
#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

#include "QOR_sync_file_MOD.hpp"
#include "install_test_support.hpp"
#include "local_time.hpp"

namespace qor {
namespace {

namespace fs = std::filesystem;
using test::CopyingFetch;
using test::InstallFixture;
using test::ScopedEnv;

class DownloadRun : public ::testing::Test, public InstallFixture {
 protected:
  DownloadRun() : locale_("LC_ALL", "de_DE.UTF-8") { fetch.source = remote.path(); }

  void publish(const std::string& name, const std::string& content = "new") {
    test::write_file(remote / name, content);
  }
  std::optional<DateValue> local_stamp(const std::string& relative) {
    const auto written = fs->DateLastModified(at(relative));
    if (!written) return std::nullopt;
    return utc_to_local_date(*written);
  }
  void run() { download_packages(*form, fetch.fn()); }

  test::TempDir remote;
  CopyingFetch fetch;

 private:
  ScopedEnv locale_;
};

TEST_F(DownloadRun, PutsEachFileInItsPlaceStampsDateKindsAndTheNextCheckFindsNothingDue) {
  for (const char* f : {"a.dll", "b.jpg", "qor_base.db3", "qor_buch.db3", "app.exe"}) publish(f);
  fs::create_directories(at("sub/SQLite3"));
  fs::create_directories(at("SQLite3"));
  const std::vector<std::string> records = {
      "id=1|fn=a.dll|ve=07.12.2026 14:05:09|pa=|ar=dll|ja=0|st=0",
      "id=2|fn=b.jpg|ve=01.07.2026|pa=sub|ar=jpg|ja=0|st=0",  // summer date, midnight
      "id=3|fn=qor_base.db3|ve=02.01.2026 08:00:00|pa=|ar=db3|ja=0|st=10",
      "id=4|fn=qor_buch.db3|ve=03.01.2026 08:00:00|pa=sub|ar=db3|ja=0|st=10",
      "id=5|fn=app.exe|ve=1.0.0.0|pa=|ar=exe|ja=0|st=0",
  };
  build_lists(records, 0);
  ASSERT_EQ(form->List3.ListCount(), 5);
  run();

  EXPECT_EQ(fetch.calls, (std::vector<std::string>{
                             program.path() + "|a.dll", at("sub") + "|b.jpg",
                             at("SQLite3") + "|qor_base.db3", at("sub/SQLite3") + "|qor_buch.db3",
                             program.path() + "|app.exe"}));
  EXPECT_EQ(local_stamp("a.dll"), (DateValue{2026, 12, 7, 14, 5, 9}));
  EXPECT_EQ(local_stamp("sub/b.jpg"), (DateValue{2026, 7, 1, 0, 0, 0}));
  EXPECT_EQ(local_stamp("SQLite3/qor_base.db3"), (DateValue{2026, 1, 2, 8, 0, 0}));
  EXPECT_NE(local_stamp("sub/SQLite3/qor_buch.db3"), (DateValue{2026, 1, 3, 8, 0, 0}));
  struct stat st {};
  ASSERT_EQ(::stat(at("app.exe").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u) << "a new program must be startable";
  EXPECT_FALSE(form->Picture2.Visible.get());

  fs->versions[at("app.exe")] = "1.0.0.0";
  build_lists(records, 1);
  EXPECT_TRUE(due().empty()) << due().front();
}

TEST_F(DownloadRun, KindsWithoutAUsableDateAreFetchedButNotStamped) {
  for (const char* f : {"upper.dll", "nodate.dll", "base.db3", "old.dll"}) publish(f);
  build_lists({"fn=upper.dll|ve=07.12.2026 14:05:09|pa=|ar=DLL", "fn=nodate.dll|ve=7.12.2026|pa=|ar=dll",
               "fn=base.db3|ve=07.12.2026 14:05:09|pa=|ar=db3", "fn=old.dll|ve=07.12.1500|pa=|ar=dll"},
              0);
  run();
  ASSERT_EQ(fetch.calls.size(), 4u);
  const DateValue version{2026, 12, 7, 14, 5, 9};
  EXPECT_NE(local_stamp("upper.dll"), version);
  EXPECT_NE(local_stamp("nodate.dll"), (DateValue{2026, 12, 7, 0, 0, 0}));
  EXPECT_NE(local_stamp("base.db3"), version);
  EXPECT_TRUE(local_stamp("old.dll").has_value());
}

TEST_F(DownloadRun, AFailedTransferLeavesTheOldFileUnstampedAndTheRunGoesOn) {
  for (const char* f : {"one.dll", "two.dll", "three.dll"}) publish(f);
  test::write_file(at("two.dll"), "old");
  const DateValue old_stamp{2020, 1, 1, 12, 0, 0};
  ASSERT_TRUE(set_file_write_time(at("two.dll"), old_stamp, true));
  build_lists({"fn=one.dll|ve=01.02.2026 10:00:00|pa=|ar=dll", "fn=two.dll|ve=01.02.2026 10:00:00|pa=|ar=dll",
               "fn=three.dll|ve=01.02.2026 10:00:00|pa=|ar=dll"},
              1);
  ASSERT_EQ(form->List3.ListCount(), 3);
  fetch.failing = {"two.dll"};
  run();

  EXPECT_EQ(fetch.calls.size(), 3u);
  EXPECT_EQ(test::read_file(at("two.dll")), "old");
  EXPECT_EQ(local_stamp("two.dll"), old_stamp) << "the old file must not pass for the new version";
  EXPECT_EQ(local_stamp("three.dll"), (DateValue{2026, 2, 1, 10, 0, 0}));
  build_lists({"fn=one.dll|ve=01.02.2026 10:00:00|pa=|ar=dll", "fn=two.dll|ve=01.02.2026 10:00:00|pa=|ar=dll",
               "fn=three.dll|ve=01.02.2026 10:00:00|pa=|ar=dll"},
              1);
  EXPECT_EQ(due(), (std::vector<std::string>{"two.dll"}));
}

TEST_F(DownloadRun, TheBarGrowsByOneStepPerFinishedItemAndDisappears) {
  for (const char* f : {"a.txt", "b.txt", "c.txt"}) publish(f);
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

  // Nothing due: no bar, no yield, no fetch.
  form->List3.Clear();
  widths.clear();
  run();
  EXPECT_TRUE(widths.empty());
  EXPECT_EQ(fetch.calls.size(), 3u);
}

TEST_F(DownloadRun, FieldsMissingFromARecordAreTheOnesTheCheckUsedSoTheFileLandsWhereItWasLookedFor) {
  publish("x.dll");
  publish("z.dll");
  fs::create_directories(at("one"));
  fs::create_directories(at("two"));
  test::write_file(at("two/y.dll"), "present");
  // Row 2 has no "pa=": the check looked for it in "two", after row 1.
  build_lists({"fn=x.dll|pa=one|ar=txt", "fn=y.dll|pa=two|ar=txt", "fn=z.dll|ar=txt"}, 0);
  ASSERT_EQ(due(), (std::vector<std::string>{"x.dll", "z.dll"}));
  run();
  EXPECT_TRUE(fs::exists(at("one/x.dll")));
  EXPECT_TRUE(fs::exists(at("two/z.dll")));
  EXPECT_FALSE(fs::exists(at("one/z.dll")));
}

TEST_F(DownloadRun, ListsRebuiltWhileEventsRunEndTheRunWithoutHarm) {
  for (const char* f : {"a.txt", "b.txt"}) publish(f);
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
  for (const char* f : {"a.txt", "b.txt"}) publish(f);
  build_lists({"fn=a.txt|ar=txt", "fn=b.txt|ar=txt"}, 0);
  auto fetch_fn = fetch.fn();
  form->steps.download_packages = [&] { download_packages(*form, fetch_fn); };
  host.on_yield = [&] {
    form->Label3(1).Click();
    form->Picture3(2).Click();
    form->Label3(2).Click();
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
