// Version dates as the server writes them (German dates in practice) on
// machines whose locale is another: stamped by the download run, current
// in the next run, whatever the locale of either run.
#include <gtest/gtest.h>

#include <filesystem>

#include "filetime/local_date.hpp"
#include "tests/install/real_run.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor::test {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const char* const kLocales[] = {"de_DE.UTF-8", "en_US.UTF-8", "en_GB.UTF-8", "C"};

const char* const kGermanUpdate =
    "id=1|fn=a.dll|ve=15.07.2026 10:30:00|pa=|ar=dll|ja=2026|st=0||"
    "id=2|fn=b.jpg|ve=01.12.2026|pa=|ar=jpg|ja=2026|st=0||"
    "id=3|fn=qor_base.db3|ve=31.03.2026 23:59:59|pa=|ar=db3|ja=2026|st=10";

DateValue stamp_of(const std::string& path) {
  return utc_to_local_date(std::chrono::time_point_cast<std::chrono::system_clock::duration>(last_write(path)));
}

class VersionDates : public ::testing::TestWithParam<const char*> {};

TEST_P(VersionDates, GermanDatesAreStampedAndCurrentInTheNextRunUnderEveryLocale) {
  PublishedAnswers server("", kGermanUpdate, {{"a.dll", "a"}, {"b.jpg", "b"}, {"qor_base.db3", "base"}});
  TempDir program;
  fs::create_directory(program / "SQLite3");
  {
    const ScopedEnv locale("LC_ALL", GetParam());
    ClientRun run(program.path(), server.address());
    run.log_in();
    EXPECT_EQ(run.list_update(), (Texts{"a.dll", "b.jpg", "qor_base.db3"}));
    run.download();
    EXPECT_EQ(run.host.texts(), Texts{});
  }
  EXPECT_EQ(stamp_of(program / "a.dll"), (DateValue{2026, 7, 15, 10, 30, 0}));
  EXPECT_EQ(stamp_of(program / "b.jpg"), (DateValue{2026, 12, 1, 0, 0, 0}));
  EXPECT_EQ(stamp_of(program / "SQLite3/qor_base.db3"), (DateValue{2026, 3, 31, 23, 59, 59}));

  for (const char* next_locale : kLocales) {
    const ScopedEnv locale("LC_ALL", next_locale);
    ClientRun next(program.path(), server.address());
    EXPECT_EQ(next.list_update(), Texts{}) << "stamped under " << GetParam() << ", checked under " << next_locale;
  }
  EXPECT_EQ(server.retrievals(3), 3);
}

// A file one second off its date is not current in any locale.
TEST_P(VersionDates, AFileOffItsDateBySecondsIsDue) {
  PublishedAnswers server("", kGermanUpdate, {});
  TempDir program;
  fs::create_directory(program / "SQLite3");
  for (const char* name : {"a.dll", "b.jpg", "SQLite3/qor_base.db3"}) write_file(program / name, "old");
  const ScopedEnv locale("LC_ALL", GetParam());
  ClientRun run(program.path(), server.address());
  for (const auto& [name, date] :
       {std::pair{"a.dll", DateValue{2026, 7, 15, 10, 30, 1}}, std::pair{"b.jpg", DateValue{2026, 11, 30, 23, 59, 59}},
        std::pair{"SQLite3/qor_base.db3", DateValue{2026, 3, 31, 23, 59, 58}}}) {
    ASSERT_TRUE(set_file_write_time(*run.form->file_system, program / name, date, true));
  }
  EXPECT_EQ(run.list_update(), (Texts{"a.dll", "b.jpg", "qor_base.db3"}));
}

INSTANTIATE_TEST_SUITE_P(Locales, VersionDates, ::testing::ValuesIn(kLocales), [](const auto& info) {
  std::string name = info.param;
  return name.substr(0, name.find('.'));
});

}  // namespace
}  // namespace qor::test
