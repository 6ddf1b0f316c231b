// The caption, settings and package-list steps driving the window model
// against the real update server.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <tuple>

#include "portable/app_title.hpp"
#include "server/server_steps.hpp"
#include "tests/server/server_fixture.hpp"
#include "tests/support/server_process.hpp"
#include "tests/support/timer_drain.hpp"

namespace qor::test {
namespace {

namespace fs = std::filesystem;

// A server whose answer for `query` is the given bytes, verbatim.
struct RawAnswer {
  explicit RawAnswer(const std::string& query, const std::string& bytes) {
    write_file(files / "answer.bin", bytes);
    server = std::make_unique<UpdateServerProcess>(
        "{}", std::vector<std::string>{"--answer", query + "=" + (files / "answer.bin")});
  }
  TempDir files;
  std::unique_ptr<UpdateServerProcess> server;
};

// The update server at `address`, with the client's own limits.
qor::UpdateServer at(const std::string& address) { return {address, {}}; }

TEST(LoadCaptions, TakesEachKnownKeyAndOpensTheMainView) {
  RawAnswer raw("caption",
                "lab6_0|Text A||col_head|255||com6_2|Install|extra||LAB6_0|x|| lab6_0|y||lab6_3|A||lab6_3|B||"
                "col_list|7||col_list|0x10||col_thead|-12||lab6_4|Ende||lab6_4||col_tlist||com6_4|Weiter\n||"
                "lab6_1|");
  Window w;
  QOR_sync_FRM& f = *w.form;
  use_server_steps(f, raw.server->address());
  f.Image1_Click(1);
  EXPECT_EQ(raw.server->requests(),
            (std::vector<std::string>{request_line("art=check&was=ab"), request_line("art=caption&was=en")}));
  EXPECT_EQ(f.Label6(0).Caption.get(), "Text A");
  EXPECT_EQ(f.Label3(1).Caption.get(), "Install");
  EXPECT_EQ(f.Label6(3).Caption.get(), "B");
  EXPECT_EQ(f.Label6(4).Caption.get(), "Ende");  // a later "lab6_4" without value is skipped
  EXPECT_EQ(f.Label3(3).Caption.get(), "Weiter\n");
  EXPECT_EQ(f.Label6(1).Caption.get(), "");
  EXPECT_EQ(f.Label6(2).Caption.get(), "Label6");  // not in the answer: design text
  const QOR_sync_MOD& mod = f.shared().mod;
  EXPECT_EQ(mod.colour_head, 255);
  EXPECT_EQ(mod.colour_list, 7);  // "0x10" is no decimal number and is skipped
  EXPECT_EQ(mod.colour_thead, -12);
  EXPECT_EQ(mod.colour_tlist, 0);               // a "col_tlist" without value is skipped
  EXPECT_EQ(f.Picture30.BackColor.get(), 255);  // the colours were applied
  EXPECT_TRUE(f.Picture30.Visible);
  EXPECT_FALSE(f.Picture1(9).Visible);
  EXPECT_TRUE(f.Timer1.Enabled);
  EXPECT_TRUE(w.host.messages.empty());
}

// Answers end their last record with a line break; a colour there, or one
// padded with tabs or spaces, is still a colour. Texts keep what they hold.
TEST(LoadCaptions, ColoursAreReadWithoutTheWhiteSpaceAroundThemAndTextsStayUntrimmed) {
  RawAnswer raw("caption",
                "lab6_0|Titel \t\r\n||col_head|255\r\n||col_thead| 16711680\t||col_tlist|1 2||"
                "col_list|\t65280 \r\n");
  Window w;
  QOR_sync_FRM& f = *w.form;
  use_server_steps(f, raw.server->address());
  f.Image1_Click(0);
  const QOR_sync_MOD& mod = f.shared().mod;
  EXPECT_EQ(mod.colour_head, 255);
  EXPECT_EQ(mod.colour_thead, 16711680);
  EXPECT_EQ(mod.colour_tlist, 0);  // white space inside a number is no number
  EXPECT_EQ(mod.colour_list, 65280);
  EXPECT_EQ(f.List3.BackColor.get(), 65280);
  EXPECT_EQ(f.Label6(0).Caption.get(), "Titel \t\r\n");
}

TEST(LoadTransferSettings, MissingKeysKeepTheirValuesAndValuesStayUntrimmed) {
  RawAnswer raw("sw_update", "us=a|se=b|| se=c|pa=\n");
  Window w;
  QOR_sync_FRM& f = *w.form;
  f.shared().mod.ftp_folder = "/old";
  int connects = 0;
  f.steps.connect_ftp = [&] {
    ++connects;
    EXPECT_EQ(f.shared().ftp.listing_list, &f.List4);
    EXPECT_EQ(f.Label1(0).Caption.get(), "b");
  };
  load_transfer_settings(f, at(raw.server->address()));
  EXPECT_EQ(raw.server->requests(), std::vector<std::string>{request_line("art=sw_update")});
  const QOR_sync_MOD& mod = f.shared().mod;
  EXPECT_EQ(std::tie(mod.ftp_server, mod.ftp_folder, mod.ftp_user, mod.ftp_password),
            std::make_tuple(std::string("b"), std::string("/old"), std::string("a"), std::string("")));
  EXPECT_EQ(f.Label1(1).Caption.get(), "/old");
  EXPECT_EQ(f.Label1(3).Caption.get(), "");
  EXPECT_EQ(connects, 1);
  EXPECT_TRUE(f.Timer2.Enabled);
}

// The line break that ends an answer belongs to no server, user or
// password written last; once only, and only at the very end. The folder is
// shown as it came.
TEST(LoadTransferSettings, TheLineBreakEndingTheAnswerIsNoPartOfTheLoginFieldWrittenLast) {
  using Settings = std::tuple<std::string, std::string, std::string, std::string>;  // se, fo, us, pa
  const struct {
    std::string answer;
    Settings expected;
  } cases[] = {
      {"fo=/f|us=u|pa=p|se=s\r\n", {"s", "/f", "u", "p"}},
      {"se=s|fo=/f|pa=p|us=u\n", {"s", "/f", "u", "p"}},
      {"se=s|fo=/f|us=u|pa=p\r\n", {"s", "/f", "u", "p"}},
      {"se=s|us=u|pa=p|fo=/qor/packages\r\n", {"s", "/qor/packages\r\n", "u", "p"}},
      {"se=s|us=u|fo=/f|pa=p\r\n\r\n", {"s", "/f", "u", "p\r\n"}},
      {"se=s|us=u|fo=/f|pa=p\n\r\n", {"s", "/f", "u", "p\n"}},
      {"se=s|us=u|fo=/f|pa=p\r", {"s", "/f", "u", "p\r"}},
      {"se=s|us=u\r\n|fo=/f|pa=p", {"s", "/f", "u\r\n", "p"}},
      {"se=s|us=u|fo=/f|pa=p\r\n| ", {"s", "/f", "u", "p\r\n"}},
      {"se=s|us=u|fo=/f|pa=p\r\n|xx=1\r\n", {"s", "/f", "u", "p\r\n"}},
      {"se=s|us=u|fo=/f|pa=\r\n", {"s", "/f", "u", ""}},
  };
  RawAnswer raw("sw_update", "");
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.answer));
    write_file(raw.files / "answer.bin", c.answer);  // read again for every query
    Window w;
    QOR_sync_FRM& f = *w.form;
    load_transfer_settings(f, at(raw.server->address()));
    const QOR_sync_MOD& mod = f.shared().mod;
    EXPECT_EQ(std::tie(mod.ftp_server, mod.ftp_folder, mod.ftp_user, mod.ftp_password), c.expected);
    EXPECT_EQ(f.Label1(1).Caption.get(), std::get<1>(c.expected));
    EXPECT_EQ(f.Label1(3).Caption.get(), std::get<3>(c.expected));
  }
}

TEST(ListNewPackages, ListsMissingFoldersAndNeverOneOutsideTheProgramFolder) {
  UpdateServerProcess server(R"({"new": ["Bilder", "Vorhanden", " abc", "../evil", "C:\\abs", "a/../../evil2",
                                   "..\\evil3", "\\Neu", "Daten", "Daten\\archiv"]})");
  // A folder below another is listed as the platform writes its paths.
#ifdef _WIN32
  const std::string nested = "Daten\\archiv";
#else
  const std::string nested = "Daten/archiv";
#endif
  Window w;
  QOR_sync_FRM& f = *w.form;
  fs::create_directory(w.program / "Vorhanden");
  f.List2.AddItem("left over");
  list_new_packages(f, at(server.address()));
  EXPECT_EQ(server.requests(), std::vector<std::string>{request_line("art=new")});
  // A leading separator is no way out: "\Neu" is a folder inside.
  EXPECT_EQ(f.List2.texts(), (std::vector<std::string>{"Bilder", " abc", "Neu", "Daten", nested}));
  EXPECT_TRUE(f.Picture1(0).Visible);
  EXPECT_FALSE(f.Timer3.Enabled);

  f.Label3_Click(0);
  for (const char* name : {"Bilder", " abc", "Neu", "Daten", "Daten/archiv"})
    EXPECT_TRUE(fs::is_directory(w.program / name)) << name;
  const fs::path outside = w.sandbox.path();
  for (const char* name : {"evil", "evil2", "evil3"}) EXPECT_FALSE(fs::exists(outside / name)) << name;
  EXPECT_TRUE(w.host.messages.empty());
  EXPECT_TRUE(f.Timer3.Enabled);
}

const char* kPackages = R"({
  "install": [{"id": 1, "fn": "a.exe", "ve": "1", "pa": "", "ar": "exe", "ja": 1, "st": 0},
              {"id": 2, "fn": "b.dll", "ve": "1", "pa": "Sub", "ar": "dll", "ja": 1, "st": 0},
              {"id": 3, "fn": "c.jpg", "ve": "1", "pa": "", "ar": "jpg", "ja": 1, "st": 0}],
  "update": ["MAINPROGRAM=x|fn=up.exe", {"id": 4, "fn": "a.exe", "ve": "2", "pa": "", "ar": "exe", "ja": 1, "st": 0}],
  "mainprogram": "app.exe|fn=z",
  "updaprogram": "sync.exe"
})";

TEST(ListInstallPackages, EveryRecordInList1AndTheMissingFilesInList3) {
  UpdateServerProcess server(kPackages);
  Window w;
  QOR_sync_FRM& f = *w.form;
  f.steps.check_package_due = [&f] { due_when_missing(f); };
  write_file((w.program / "a.exe").string(), "");
  fs::create_directory(w.program / "Sub");
  write_file((w.program / "Sub/b.dll").string(), "");
  f.package_mode = 1;
  list_install_packages(f, at(server.address()));
  EXPECT_EQ(server.requests(), std::vector<std::string>{request_line("art=install")});
  EXPECT_EQ(f.package_mode, 0);
  ASSERT_EQ(f.List1.ListCount(), 3);
  EXPECT_EQ(f.List1.List(1), "id=2|fn=b.dll|ve=1|pa=Sub|ar=dll|ja=1|st=0");
  EXPECT_EQ(f.List3.texts(), std::vector<std::string>{"c.jpg"});
  EXPECT_EQ(f.List3.ItemData(0), 2);
  EXPECT_TRUE(f.Picture1(1).Visible);
  EXPECT_TRUE(f.Picture3(1).Visible);
  EXPECT_FALSE(f.Picture3(2).Visible);
  EXPECT_TRUE(f.Label6(2).Visible);
  EXPECT_FALSE(f.Label6(3).Visible);
  EXPECT_FALSE(f.Timer4.Enabled);

  write_file((w.program / "c.jpg").string(), "");
  list_install_packages(f, at(server.address()));
  EXPECT_EQ(f.List1.ListCount(), 3);
  EXPECT_EQ(f.List3.ListCount(), 0);
  EXPECT_FALSE(f.Picture3(1).Visible);
  EXPECT_FALSE(f.Label6(2).Visible);
  EXPECT_TRUE(f.Timer4.Enabled);
}

TEST(ListUpdatePackages, ProgramNamesAreTakenOutAndTheRestIsChecked) {
  UpdateServerProcess server(kPackages);
  Window w;
  QOR_sync_FRM& f = *w.form;
  f.steps.check_package_due = [&f] { due_when_missing(f); };
  list_update_packages(f, at(server.address()));
  EXPECT_EQ(server.requests(), std::vector<std::string>{request_line("art=update")});
  EXPECT_EQ(f.package_mode, 1);
  EXPECT_EQ(f.shared().mod.main_program, "app.exe|fn=z");
  EXPECT_EQ(f.List1.texts(),
            (std::vector<std::string>{"MAINPROGRAM=x|fn=up.exe", "id=4|fn=a.exe|ve=2|pa=|ar=exe|ja=1|st=0"}));
  EXPECT_EQ(f.List3.texts(), (std::vector<std::string>{"up.exe", "a.exe"}));
  EXPECT_TRUE(f.Picture1(1).Visible);
  EXPECT_FALSE(f.Picture3(1).Visible);
  EXPECT_TRUE(f.Picture3(2).Visible);
  EXPECT_FALSE(f.Label6(2).Visible);
  EXPECT_TRUE(f.Label6(3).Visible);
  EXPECT_FALSE(f.Picture1(2).Visible);
}

TEST(ParsePackageRecords, FieldsCarryOverAndEachLineKeepsItsRow) {
  Window w;
  QOR_sync_FRM& f = *w.form;
  std::vector<std::string> seen;
  f.steps.check_package_due = [&] {
    const QOR_sync_MOD& m = f.shared().mod;
    seen.push_back(std::to_string(m.package_row) + ":" + m.package_file + "," + m.package_version + "," +
                   m.package_path + "," + m.package_kind);
  };
  for (const char* line :
       {"fn=a|ve=1|pa=p|ar=exe|id=9|st=10", "junk| fn=x|FN=y", "fn=b|fn=c|ve=", "fn=c|ve=", "ar=a=b"}) {
    f.List1.AddItem(line);
  }
  parse_package_records(f);
  EXPECT_EQ(seen, (std::vector<std::string>{"0:a,1,p,exe", "1:a,1,p,exe", "2:c,,p,exe", "3:c,,p,exe", "4:c,,p,a=b"}));
}

// What a cancelled step must leave alone.
std::string window_state(QOR_sync_FRM& f) {
  std::ostringstream s;
  for (int i : {0, 1, 2, 9, 10}) s << f.Picture1(i).Visible.get();
  s << f.Picture30.Visible.get() << f.Picture3(1).Visible.get() << f.Picture3(2).Visible.get()
    << f.Label6(2).Visible.get() << f.Label6(3).Visible.get();
  s << f.Timer1.Enabled.get() << f.Timer2.Enabled.get() << f.Timer3.Enabled.get() << f.Timer4.Enabled.get();
  for (ListBox* list : {&f.List1, &f.List2, &f.List3}) {
    for (const std::string& t : list->texts()) s << "|" << t;
    s << "#";
  }
  s << f.Label6(0).Caption.get() << f.Label1(0).Caption.get() << f.package_mode << f.shared().mod.main_program;
  return s.str();
}

TEST(FailedQuery, EachStepCanBeRetriedOrGivenUpWithoutChangingTheWindow) {
  struct Case {
    std::string query, request;
    std::function<void(QOR_sync_FRM&)> run;
    std::function<bool(QOR_sync_FRM&)> finished;
  };
  const Case cases[] = {
      {"caption", "art=caption&was=de", [](QOR_sync_FRM& f) { f.Image1_Click(0); },
       [](QOR_sync_FRM& f) { return f.Timer1.Enabled.get(); }},
      {"sw_update", "art=sw_update", [](QOR_sync_FRM& f) { f.Timer1_Timer(); },
       [](QOR_sync_FRM& f) { return f.Timer2.Enabled.get(); }},
      {"new", "art=new", [](QOR_sync_FRM& f) { f.Timer2_Timer(); },
       [](QOR_sync_FRM& f) { return f.Timer3.Enabled.get(); }},
      {"install", "art=install", [](QOR_sync_FRM& f) { f.Timer3_Timer(); },
       [](QOR_sync_FRM& f) { return f.Timer4.Enabled.get(); }},
      {"update", "art=update", [](QOR_sync_FRM& f) { f.Timer4_Timer(); },
       [](QOR_sync_FRM& f) { return f.Picture1(2).Visible.get(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    // Fails twice: once for Cancel, once before the Retry that succeeds. The
    // error page names a folder, which must not be taken as an answer.
    UpdateServerProcess server(R"({"faults": {")" + c.query + R"(": {"mode": "status", "status": 500, "times": 2,
                                       "body": "Bilder"}}})");
    Window w;
    QOR_sync_FRM& f = *w.form;
    use_server_steps(f, server.address());
    f.List1.AddItem("kept 1");
    f.List2.AddItem("kept 2");
    f.List3.AddItem("kept 3");
    const std::string before = window_state(f);

    w.host.answers = {MsgResult::Cancel};
    c.run(f);
    ASSERT_EQ(w.host.messages.size(), 1u);
    EXPECT_EQ(w.host.messages[0].buttons, MsgButtons::RetryCancel);
    EXPECT_EQ(w.host.messages[0].caption, kApplicationTitle);
    EXPECT_NE(w.host.messages[0].text.find("(" + c.request + ")"), std::string::npos) << w.host.messages[0].text;
    EXPECT_EQ(window_state(f), before);
    EXPECT_EQ(w.host.unloads, 0);

    w.host.answers = {MsgResult::Retry};
    c.run(f);
    EXPECT_EQ(w.host.messages.size(), 2u);
    EXPECT_TRUE(c.finished(f));
    EXPECT_FALSE(f.List2.texts() == std::vector<std::string>{"Bilder"});
    std::vector<std::string> sent;
    for (const std::string& line : server.requests()) {
      if (line.find("art=check") == std::string::npos) sent.push_back(line);
    }
    EXPECT_EQ(sent, std::vector<std::string>(3, request_line(c.request)));
  }
}

TEST(WholeRun, FromTheFlagThroughTheThreeLists) {
  UpdateServerProcess server(R"({
    "captions": {"de": {"lab6_0": "Aktualisierung", "lab6_1": "Neue Ordner", "com6_4": "Fertig", "col_head": 255}},
    "settings": {"fo": "/", "us": "qor", "pa": "geheim"},
    "new": ["Bilder"],
    "install": [{"id": 1, "fn": "a.exe", "ve": "1", "pa": "", "ar": "exe", "ja": 1, "st": 0}],
    "update": [{"id": 2, "fn": "b.jpg", "ve": "1", "pa": "Bilder", "ar": "jpg", "ja": 1, "st": 0}],
    "mainprogram": "a.exe"
  })");
  Window w;
  QOR_sync_FRM& f = *w.form;
  use_server_steps(f, server.address());
  std::string connected_to;
  f.steps.connect_ftp = [&] { connected_to = f.shared().mod.ftp_server + " " + f.shared().mod.ftp_user; };
  f.steps.check_package_due = [&f] { due_when_missing(f); };

  f.Image1_Click(0);
  run_timers(f);
  EXPECT_EQ(f.Label6(0).Caption.get(), "Aktualisierung");
  EXPECT_EQ(connected_to, server.ftp_address() + " qor");
  EXPECT_TRUE(f.Picture1(0).Visible);  // waits for the folder button
  EXPECT_EQ(f.List2.texts(), std::vector<std::string>{"Bilder"});

  f.Label3_Click(0);
  run_timers(f);
  EXPECT_TRUE(fs::is_directory(w.program / "Bilder"));
  EXPECT_TRUE(f.Picture1(1).Visible);  // waits for the install button
  EXPECT_EQ(f.List3.texts(), std::vector<std::string>{"a.exe"});

  write_file((w.program / "a.exe").string(), "");  // what the download run would have fetched
  f.Label3_Click(1);
  run_timers(f);
  EXPECT_TRUE(f.Picture3(2).Visible);  // waits for the update button
  EXPECT_EQ(f.List3.texts(), std::vector<std::string>{"b.jpg"});
  EXPECT_EQ(f.shared().mod.main_program, "a.exe");

  f.Label3_Click(2);
  EXPECT_TRUE(f.Picture1(2).Visible);
  EXPECT_FALSE(f.Picture1(1).Visible);
  EXPECT_TRUE(w.host.messages.empty());
  EXPECT_EQ(server.requests(),
            (std::vector<std::string>{request_line("art=check&was=ab"), request_line("art=caption&was=de"),
                                      request_line("art=sw_update"), request_line("art=new"),
                                      request_line("art=install"), request_line("art=update")}));
}

// A folder that is up to date: from the flag straight to the finish panel,
// without the folder or package panel ever showing.
TEST(WholeRun, NothingDueGoesFromTheFlagStraightToTheFinishPanel) {
  UpdateServerProcess server(R"({
    "captions": {"en": {"lab6_0": "Update"}},
    "settings": {"fo": "/", "us": "qor", "pa": "geheim"},
    "new": ["Bilder"],
    "install": [{"id": 1, "fn": "a.exe", "ve": "1", "pa": "", "ar": "exe", "ja": 1, "st": 0}],
    "update": [],
    "mainprogram": "a.exe"
  })");
  Window w;
  QOR_sync_FRM& f = *w.form;
  fs::create_directory(w.program / "Bilder");
  write_file((w.program / "a.exe").string(), "");
  use_server_steps(f, server.address());
  f.steps.check_package_due = [&f] { due_when_missing(f); };
  struct Shown : ControlObserver {
    int times = 0;
    void changed(Control& c, Aspect a) override {
      if (a == Aspect::Visible && c.Visible) ++times;
    }
  } folder_panel, package_panel;
  f.Picture1(0).set_observer(&folder_panel);
  f.Picture1(1).set_observer(&package_panel);

  f.Image1_Click(1);
  run_timers(f);
  EXPECT_TRUE(f.Picture1(2).Visible);
  EXPECT_EQ(folder_panel.times, 0);
  EXPECT_EQ(package_panel.times, 0);
  for (const bool shown : {f.Picture3(1).Visible.get(), f.Picture3(2).Visible.get(), f.Label6(2).Visible.get(),
                           f.Label6(3).Visible.get()}) {
    EXPECT_FALSE(shown);
  }
  EXPECT_TRUE(w.host.messages.empty());
}

}  // namespace
}  // namespace qor::test
