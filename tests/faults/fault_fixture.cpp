#include "tests/faults/fault_fixture.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "tests/faults/fault_test.hpp"
#include "tests/support/timer_drain.hpp"

namespace qor::faults {
namespace {

// Bytes of every value, NUL and invalid UTF-8 included, the same every run.
std::string noise(std::size_t size, std::uint32_t seed) {
  std::string out(size, '\0');
  for (auto& c : out) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return out;
}

const char* const kCatalogue = R"({
  "captions": {"de": {"lab6_0": "Aktualisierung", "com6_2": "Installieren", "com6_4": "Beenden"}},
  "settings": {"fo": "/", "us": "qor", "pa": "secret"},
  "new": ["Daten"],
  "install": [
    {"id": 1, "fn": "a.dll", "ve": "2026-12-01 08:00:00", "pa": "", "ar": "dll", "ja": 2026, "st": 0},
    {"id": 2, "fn": "kunden.db3", "ve": "1", "pa": "Daten", "ar": "db3", "ja": 2026, "st": 0}
  ],
  "update": [
    {"id": 3, "fn": "logo.jpg", "ve": "2026-11-02 09:30:00", "pa": "Bilder", "ar": "jpg", "ja": 2026, "st": 0},
    {"id": 4, "fn": "big.exe", "ve": "2.0.0.0", "pa": "", "ar": "exe", "ja": 2026, "st": 0},
    {"id": 6, "fn": "after.dll", "ve": "2026-11-03 10:00:00", "pa": "", "ar": "dll", "ja": 2026, "st": 0},
    {"id": 5, "fn": "qor_buch.db3", "ve": "9", "pa": "", "ar": "db3", "ja": 2026, "st": 0}
  ],
  "mainprogram": "QOR_main.exe",
  "updaprogram": "QOR_sync.exe"
})";

void walk(const fs::path& root, const std::string& relative, Tree& tree) {
  const fs::path folder = relative.empty() ? root : root / relative;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  for (const auto& name : names) {
    std::string rel = relative;
    if (!rel.empty()) rel += '/';
    rel += name;
    struct stat st {};
    if (::lstat((root / rel).c_str(), &st) != 0) continue;
    FileState state;
    state.mode = st.st_mode;
    state.mtime = st.st_mtim;
    state.folder = S_ISDIR(st.st_mode);
    if (S_ISREG(st.st_mode)) state.content = test::read_file((root / rel).string());
    tree[rel] = state;
    if (state.folder) walk(root, rel, tree);
  }
}

bool same(const FileState& a, const FileState& b) {
  // A folder's time changes with every file put into it.
  if (a.folder || b.folder) return a.folder == b.folder && a.mode == b.mode;
  return a.folder == b.folder && a.content == b.content && a.mode == b.mode && a.mtime.tv_sec == b.mtime.tv_sec &&
         a.mtime.tv_nsec == b.mtime.tv_nsec;
}

std::string base_name(const std::string& rel) {
  const auto slash = rel.rfind('/');
  return slash == std::string::npos ? rel : rel.substr(slash + 1);
}

}  // namespace

const std::map<std::string, std::string>& published_files() {
  static const std::map<std::string, std::string> files = {
      {"a.dll", noise(20000, 1)},
      {"kunden.db3", noise(5000, 2)},
      {"logo.jpg", noise(8000, 3)},
      // Large enough that every fault knob hits it in the middle.
      {"big.exe", noise(std::size_t{3} << 20, 4)},
      // Fetched after big.exe: the run must go on past its failure.
      {"after.dll", noise(3000, 5)},
      {"qor_buch.db3", "the server's empty template"},
  };
  return files;
}

std::unique_ptr<test::UpdateServerProcess> start_fault_server(std::vector<std::string> extra_args) {
  return std::make_unique<test::UpdateServerProcess>(kCatalogue, std::move(extra_args), published_files());
}

Tree snapshot(const fs::path& root) {
  Tree tree;
  walk(root, "", tree);
  return tree;
}

Sandbox::Sandbox() : program(fs::path(dir_.path()) / "program"), home(fs::path(dir_.path()) / "home") {
  fs::create_directories(program);
  fs::create_directories(home / "Desktop");
  fill_program_folder();
}

void Sandbox::fill_program_folder() const {
  const std::chrono::system_clock::time_point long_ago{std::chrono::seconds{1577880000}};  // 2020-01-01
  fs::create_directories(program / "Bilder");
  test::write_file((program / "big.exe").string(), "the old program");
  fs::permissions(program / "big.exe", fs::perms(0755));
  test::write_file((program / "Bilder/logo.jpg").string(), "the old logo");
  test::write_file((program / kUserDatabase).string(), "the user's bookings");
  fs::permissions(program / kUserDatabase, fs::perms(0600));
  test::write_file((program / "readme.txt").string(), "notes");
  // The main application, started by the finish panel; it ends at once.
  test::write_file((program / kMainProgram).string(), "#!/bin/sh\nexit 0\n");
  fs::permissions(program / kMainProgram, fs::perms(0755));
  for (const char* name : {"big.exe", "Bilder/logo.jpg", "qor_buch.db3", "readme.txt", "QOR_main.exe"})
    test::set_last_write((program / name).string(), long_ago);
}

std::vector<std::string> Sandbox::strays() const {
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(program.parent_path())) {
    if (entry.path() != program && entry.path() != home) out.push_back(entry.path().filename().string());
  }
  return out;
}

ClientRun::ClientRun(Sandbox& sandbox, const std::string& update_server, const NetworkLimits& limits) {
  shared_variables() = SharedVariables{};
  form = std::make_unique<QOR_sync_FRM>(FormServices{&host, make_local_file_system, sandbox.program.string()});
  form->Form_Load();
  form->steps = make_program_steps(*form, update_server, limits);
}

ClientRun::~ClientRun() {
  form.reset();
  shared_variables() = SharedVariables{};
}

template <class F>
void ClientRun::timed(F&& handler) {
  const auto start = std::chrono::steady_clock::now();
  handler();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  if (took > longest_) longest_ = took;
}

void ClientRun::click_through(bool finish) {
  QOR_sync_FRM& f = *form;
  timed([&] { f.Image1_Click(0); });
  std::set<int> clicked;
  const auto click = [&](int button) {
    if (!clicked.insert(button).second) return false;
    if (before_click) before_click(button);
    timed([&] { f.Label3_Click(button); });
    return true;
  };
  const auto timed_tick = [&](Timer& timer) { timed([&] { timer.Tick(); }); };
  for (int guard = 0; guard < 5; ++guard) {
    test::run_timers(f, timed_tick);
    // The panel that waits for the user, each clicked at most once.
    const bool went_on =
        (f.Picture1(0).Visible && click(0)) || (f.Picture1(1).Visible && f.Picture3(1).Visible && click(1)) ||
        (f.Picture1(1).Visible && f.Picture3(2).Visible && click(2)) || (finish && f.Picture1(2).Visible && click(3));
    if (!went_on) return;
  }
}

std::vector<std::string> ClientRun::message_texts() const { return host.texts(); }

std::vector<std::string> damage(const Tree& before, const Tree& after, const std::set<std::string>& replaceable) {
  std::vector<std::string> problems;
  const auto& published = published_files();
  const auto is_whole_new = [&](const std::string& rel, const FileState& s) {
    const auto it = published.find(base_name(rel));
    return !s.folder && it != published.end() && s.content == it->second;
  };
  for (const auto& [rel, old] : before) {
    const auto now = after.find(rel);
    if (now == after.end()) {
      problems.push_back(rel + ": gone");
    } else if (!same(old, now->second) && !(replaceable.count(rel) && is_whole_new(rel, now->second))) {
      problems.push_back(rel + ": changed, and not into the published version");
    }
  }
  for (const auto& [rel, state] : after) {
    if (before.count(rel) || state.folder) continue;
    if (!is_whole_new(rel, state)) problems.push_back(rel + ": new, and not a whole published file");
  }
  return problems;
}

std::vector<std::string> outside_writes(const Sandbox& sandbox, const Tree& home_before) {
  std::vector<std::string> problems;
  for (const auto& name : sandbox.strays()) problems.push_back("beside the program folder: " + name);
  for (const auto& [rel, state] : snapshot(sandbox.home)) {
    if (home_before.count(rel)) continue;
    if (rel != "Desktop/QOR_software_PRO.desktop") problems.push_back("in the home folder: " + rel);
  }
  return problems;
}

bool is_query_failure(const Message& m, const std::string& query) {
  return m.buttons == MsgButtons::RetryCancel && m.text.find("(art=" + query) != std::string::npos;
}

}  // namespace qor::faults
