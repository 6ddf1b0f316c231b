// What the user has in and around the program folder, against what the
// server sends: databases that appear while a panel waits, links that lead
// out of the folder, leftovers of a killed run, names in another letter
// case, and names that start with a separator. Whole client runs.
#include <sys/stat.h>

#include <algorithm>

#include "filetime/local_date.hpp"
#include "tests/faults/fault_test.hpp"

namespace qor::faults {
namespace {

const std::string kFolderFailed = "Ordner konnte nicht angelegt werden";
const std::string kDesktopEntry = "Desktop/QOR_software_PRO.desktop";

class UserFiles : public FaultTest {
 protected:
  // An answer file for the server's --answer knob.
  std::vector<std::string> answer(const std::string& query, const std::string& text) {
    const std::string path = answers / query;
    test::write_file(path, text);
    return {"--answer", query + "=" + path};
  }
  std::string desktop_entry() const { return test::read_file((sandbox.home / kDesktopEntry).string()); }
  // The files of the user: the current state becomes the one the run is
  // judged against, as when the user put them there while the panel waited.
  void user_puts(const std::string& relative, const std::string& content) {
    test::write_file((sandbox.program / relative).string(), content);
    before = snapshot(sandbox.program);
  }
  std::size_t fetches() {
    const auto log = server->process().log();
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("RETR "); }));
  }

  test::TempDir answers;
};

// The install list names the user's database while it is missing; the
// application creates it, or the user puts a backup back, while the install
// panel waits. The click must not replace it, in the folder nor in SQLite3/,
// whatever its letter case. Only standard error hears of it.
TEST_F(UserFiles, ADatabaseThatAppearsBeforeTheClickIsNeverReplaced) {
  fs::remove(sandbox.program / kUserDatabase);
  fs::create_directory(sandbox.program / "SQLite3");
  start(answer("install",
               "id=1|fn=a.dll|ve=2026-12-01 08:00:00|pa=|ar=dll|ja=2026|st=0"
               "||id=2|fn=qor_buch.db3|ve=1|pa=|ar=db3|ja=2026|st=0"
               "||id=3|fn=qor_buch.db3|ve=1|pa=|ar=db3|ja=2026|st=10"));
  run->before_click = [&](int button) {
    if (button != 1) return;
    user_puts(kUserDatabase, "the restored backup");
    user_puts("SQLite3/QOR_Buch.DB3", "made by the application");
  };
  click_through();
  EXPECT_EQ(file(kUserDatabase), "the restored backup");
  EXPECT_EQ(file("SQLite3/QOR_Buch.DB3"), "made by the application");
  EXPECT_FALSE(exists("SQLite3/qor_buch.db3"));
  EXPECT_EQ(file("a.dll"), published("a.dll"));
  EXPECT_EQ(run->message_texts(), Texts{});
  ASSERT_EQ(reports.size(), 2u) << testing::PrintToString(reports);
  for (const auto& line : reports) {
    EXPECT_TRUE(line.starts_with("QOR_sync_PRO: transfer of qor_buch.db3: ")) << line;
    EXPECT_NE(line.find("is kept"), std::string::npos) << line;
  }
  expect_sound_end();
}

// A folder link and a file link inside the program folder, both pointing
// outside it: nothing outside is created, replaced or stamped; each link is
// reported and stays. A replaced program loses its set-user-ID bit.
TEST_F(UserFiles, LinksInTheProgramFolderLeadNoWriteOutsideIt) {
  test::TempDir elsewhere;
  test::write_file(elsewhere / "victim", "not the client's");
  const std::chrono::system_clock::time_point long_ago{std::chrono::seconds{1577880000}};
  test::set_last_write(elsewhere / "victim", long_ago);
  fs::create_directory_symlink(elsewhere.path(), sandbox.program / "Daten");
  fs::create_symlink(elsewhere / "victim", sandbox.program / "after.dll");
  fs::permissions(sandbox.program / "big.exe", fs::perms(04755));
  start();
  click_through(true);

  EXPECT_EQ(test::file_names(elsewhere.path()), std::vector<std::string>{"victim"});
  EXPECT_EQ(test::read_file(elsewhere / "victim"), "not the client's");
  EXPECT_EQ(test::last_write(elsewhere / "victim"), long_ago);
  EXPECT_TRUE(fs::is_symlink(sandbox.program / "Daten"));
  EXPECT_TRUE(fs::is_symlink(sandbox.program / "after.dll"));
  EXPECT_EQ(file("big.exe"), published("big.exe"));
  EXPECT_EQ(test::mode_of((sandbox.program / "big.exe").string()), 0755u);

  const Texts texts = run->message_texts();
  ASSERT_EQ(texts.size(), 3u) << testing::PrintToString(texts);
  EXPECT_TRUE(texts[0].starts_with(kFolderFailed)) << texts[0];
  EXPECT_EQ(texts[1], kTransferFailed);  // Daten/kunden.db3
  EXPECT_EQ(texts[2], kTransferFailed);  // after.dll
  const auto through_link = std::count_if(reports.begin(), reports.end(), [](const std::string& line) {
    return line.find("a symbolic link is in the way") != std::string::npos;
  });
  EXPECT_GE(through_link, 3) << testing::PrintToString(reports);
  EXPECT_EQ(run->host.unloads, 1);
  expect_sound_end();
}

// A run killed during a download left its temporary files; the next run's
// download step removes them, and only them.
TEST_F(UserFiles, LeftoversOfAKilledRunGoAtTheNextDownloadStep) {
  test::TempDir elsewhere;
  test::write_file(elsewhere / "file", "outside");
  const std::vector<std::string> leftovers = {".qor-download-k1Ll3d", "Bilder/.qor-download-AbC123"};
  for (const auto& name : leftovers) test::write_file((sandbox.program / name).string(), "half a file");
  // Named alike, but none of them a leftover of this client.
  test::write_file((sandbox.program / ".qor-download-short").string(), "mine");
  test::write_file((sandbox.program / ".qor-download-ab12").string(), "mine");
  fs::create_directory(sandbox.program / ".qor-download-F0lder");
  test::write_file((sandbox.program / ".qor-download-F0lder/keep").string(), "mine");
  fs::create_symlink(elsewhere / "file", sandbox.program / ".qor-download-L1nk00");
  start();
  click_through();
  for (const auto& name : leftovers) {
    EXPECT_FALSE(exists(name)) << name;
    before.erase(name);
  }
  EXPECT_EQ(test::read_file(elsewhere / "file"), "outside");
  expect_sound_end();
}

// The server writes names as its own platform finds them, in any letter
// case: the folder, the user's database and the main program the user has
// are the ones meant, and a second run finds everything current.
TEST_F(UserFiles, NamesInAnotherLetterCaseAreTheFilesThere) {
  fs::rename(sandbox.program / "Bilder", sandbox.program / "BILDER");
  fs::rename(sandbox.program / kUserDatabase, sandbox.program / "QOR_Buch.db3");
  fs::rename(sandbox.program / kMainProgram, sandbox.program / "qor_main.exe");
  fs::create_directory(sandbox.program / "daten");
  replaceable = {"big.exe", "BILDER/logo.jpg"};
  start();
  click_through(true);

  EXPECT_EQ(run->message_texts(), Texts{});
  EXPECT_EQ(reports, Texts{});
  EXPECT_EQ(file("daten/kunden.db3"), published("kunden.db3"));
  EXPECT_EQ(file("BILDER/logo.jpg"), published("logo.jpg"));
  EXPECT_EQ(utc_to_local_date(test::last_write((sandbox.program / "BILDER/logo.jpg").string())),
            (DateValue{2026, 11, 2, 9, 30, 0}));
  EXPECT_EQ(file("QOR_Buch.db3"), "the user's bookings");
  for (const char* made : {"Daten", "Bilder", "qor_buch.db3"}) EXPECT_FALSE(exists(made)) << made;
  EXPECT_NE(desktop_entry().find((sandbox.program / "qor_main.exe").string()), std::string::npos) << desktop_entry();
  expect_sound_end();

  // big.exe has no version resource and is due on every run; nothing else is.
  const std::size_t fetched = fetches();
  run = std::make_unique<ClientRun>(sandbox, server->address());
  click_through();
  EXPECT_EQ(run->form->List3.texts(), Texts{"big.exe"});
  EXPECT_EQ(fetches(), fetched + 1);
  EXPECT_EQ(run->message_texts(), Texts{});
}

// "\Bilder" after the program folder is a folder inside it, for a new
// folder, a sub-path and the main program alike.
TEST_F(UserFiles, NamesStartingWithASeparatorLieInsideTheFolder) {
  auto args = answer("new", "\\Daten");
  for (const auto& a : answer("update",
                              "mainprogram=\\QOR_main.exe"
                              "||id=3|fn=logo.jpg|ve=2026-11-02 09:30:00|pa=\\Bilder|ar=jpg|ja=2026|st=0"
                              "||id=6|fn=after.dll|ve=2026-11-03 10:00:00|pa=/|ar=dll|ja=2026|st=0"))
    args.push_back(a);
  start(args);
  click_through(true);
  EXPECT_EQ(run->message_texts(), Texts{});
  EXPECT_EQ(reports, Texts{});
  EXPECT_EQ(file("Daten/kunden.db3"), published("kunden.db3"));
  EXPECT_EQ(file("Bilder/logo.jpg"), published("logo.jpg"));
  EXPECT_EQ(file("after.dll"), published("after.dll"));
  EXPECT_NE(desktop_entry().find((sandbox.program / kMainProgram).string()), std::string::npos) << desktop_entry();
  EXPECT_EQ(run->host.unloads, 1);
  expect_sound_end();
}

}  // namespace
}  // namespace qor::faults
