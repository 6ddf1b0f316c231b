// How long the install and update lists take from the query to the drawn
// window, with every record checked against a real program folder; how long
// the download run spends on its own bookkeeping; how long a version date
// far longer than any date takes to refuse; how long the folder step takes
// to make many new folders, and the download run to place many small files
// in one folder. The time per record should stay flat from 1,000 to 100,000
// records, and per folder or file from 1,000 to 10,000.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include <unistd.h>

#include "filetime/filetime_steps.hpp"
#include "install/install_steps.hpp"
#include "install/version_date.hpp"
#include "platform/file_system.hpp"
#include "server/server_steps.hpp"
#include "tests/support/server_process.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/qt/form_view.hpp"

namespace {

namespace fs = std::filesystem;

class NoHost : public qor::FormHost {
 public:
  qor::MsgResult MsgBox(const std::string&, qor::MsgButtons, const std::string&) override { return qor::MsgResult::OK; }
  void DoEvents() override { QCoreApplication::processEvents(); }
  void Unload() override {}
  bool closed() const override { return false; }
};

const std::string kVersion = "15.07.2026 10:30:00";
const qor::DateValue kVersionDate{2026, 7, 15, 10, 30, 0};

std::string record(std::int64_t i) {
  return "id=" + std::to_string(i) + "|fn=file" + std::to_string(i) + ".dll|ve=" + kVersion +
         "|pa=Sub|ar=dll|ja=2026|st=0";
}

// A published answer of `records` records and a program folder in which
// every other file is present, half of those with the version's date: the
// install list finds half of the files missing, the update list three
// quarters of them due.
struct Published {
  explicit Published(std::int64_t records) {
    std::string answer;
    for (std::int64_t i = 0; i < records; ++i) answer += record(i) + "||";
    qor::test::write_file(answers / "list", answer);
    fs::create_directory(program / "Sub");
    auto file_system = qor::make_local_file_system(program.path());
    for (std::int64_t i = 0; i < records; i += 2) {
      const std::string path = program / ("Sub/file" + std::to_string(i) + ".dll");
      qor::test::write_file(path, "x");
      if (i % 4 == 0 && !qor::set_file_write_time(*file_system, path, kVersionDate, true))
        throw std::runtime_error("cannot stamp " + path);
    }
    server = std::make_unique<qor::test::UpdateServerProcess>(
        "{}", std::vector<std::string>{"--no-ftp", "--answer", "install=" + (answers / "list"), "--answer",
                                       "update=" + (answers / "list")});
  }
  qor::test::TempDir answers;
  qor::test::TempDir program;
  std::unique_ptr<qor::test::UpdateServerProcess> server;
};

// One list step of the program, from its query until the view has drawn
// what it left, with the real version check.
void list_step(benchmark::State& state, void (*step)(qor::QOR_sync_FRM&, const qor::UpdateServer&)) {
  const Published published(state.range(0));
  NoHost host;
  qor::QOR_sync_FRM form({&host, qor::make_local_file_system, published.program.path()});
  form.Form_Load();
  form.steps.check_package_due = [&form] { qor::check_package_due(form); };
  qor::qt::FormView view(form);
  const qor::UpdateServer server{published.server->address(), {}};
  for (auto _ : state) {
    step(form, server);
    QCoreApplication::processEvents();
  }
  state.counters["due"] = form.List3.ListCount();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ListInstallPackages(benchmark::State& state) { list_step(state, qor::list_install_packages); }
void BM_ListUpdatePackages(benchmark::State& state) { list_step(state, qor::list_update_packages); }
BENCHMARK(BM_ListInstallPackages)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ListUpdatePackages)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The download run over a list whose records carry no "ar=" at all, with a
// fetch that does nothing: what is left is finding each record's fields.
void BM_DownloadRunBookkeeping(benchmark::State& state) {
  NoHost host;
  qor::test::TempDir program;
  qor::QOR_sync_FRM form({&host, qor::make_local_file_system, program.path()});
  form.Form_Load();
  form.steps.check_package_due = [&form] { qor::check_package_due(form); };
  for (std::int64_t i = 0; i < state.range(0); ++i)
    form.List1.AddItem("id=" + std::to_string(i) + "|fn=f" + std::to_string(i) + ".txt|ve=1|pa=|ja=1|st=0");
  qor::parse_package_records(form);
  std::int64_t fetched = 0;
  for (auto _ : state) {
    qor::download_packages(form, [&](const std::string&, const std::string&, const qor::Placing&, qor::PlacementRun&) {
      ++fetched;
      return qor::FetchOutcome::PlaceTaken;  // nothing to place
    });
  }
  state.counters["fetched"] = benchmark::Counter(static_cast<double>(fetched), benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DownloadRunBookkeeping)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

// A fresh folder in memory where the machine has one: the disk's flush of
// every placed file is the same for any client and would hide the work
// that is the client's own.
class FastFolder {
 public:
  FastFolder() {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : nullptr;
    std::string pattern =
        ((base != nullptr ? fs::path(base) : fs::temp_directory_path()) / "qor-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  FastFolder(const FastFolder&) = delete;
  FastFolder& operator=(const FastFolder&) = delete;
  ~FastFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The folder step over a list of new folders, each a name of its own in the
// program folder, as the list of new folders leaves them.
void BM_CreateNewFolders(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    NoHost host;
    const FastFolder program;
    qor::QOR_sync_FRM form({&host, qor::make_local_file_system, program.path()});
    form.Form_Load();
    for (std::int64_t i = 0; i < state.range(0); ++i) form.List2.AddItem("Ordner" + std::to_string(i));
    state.ResumeTiming();
    form.create_missing_folders();
    state.PauseTiming();
    if (!fs::is_directory(program.path() + "/Ordner" + std::to_string(state.range(0) - 1)))
      state.SkipWithError("the last folder was not made");
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CreateNewFolders)->Arg(1000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The download run over files missing from one folder, each fetched as a
// few bytes through the file system's replacement file, as a transfer puts
// it: the look at the place, the temporary file, the swap into the place.
void BM_PlaceNewFiles(benchmark::State& state) {
  std::int64_t placed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    NoHost host;
    const FastFolder program;
    fs::create_directory(program.path() + "/Daten");
    qor::QOR_sync_FRM form({&host, qor::make_local_file_system, program.path()});
    form.Form_Load();
    form.package_mode = 0;
    form.steps.check_package_due = [&form] { qor::check_package_due(form); };
    for (std::int64_t i = 0; i < state.range(0); ++i)
      form.List1.AddItem("id=" + std::to_string(i) + "|fn=f" + std::to_string(i) + ".txt|ve=|pa=Daten|ja=1|st=0");
    qor::parse_package_records(form);
    state.ResumeTiming();
    qor::download_packages(form, [&](const std::string& file, const std::string& folder, const qor::Placing& placing,
                                     qor::PlacementRun& run) {
      std::string path = folder;
      path += "/";
      path += file;
      auto target = form.file_system->replace_file(path);
      if (!target || !(*target)->write("bytes", 5)) return qor::FetchOutcome::Failed;
      if (!run.hold(std::move(*target), placing)) return qor::FetchOutcome::Failed;
      ++placed;
      return qor::FetchOutcome::Held;
    });
  }
  state.counters["placed"] = benchmark::Counter(static_cast<double>(placed), benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlaceNewFiles)->Arg(1000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// A "ve=" of 1.6 MB of spaces, and a German date followed by as many, read
// as a version date in every form of the general date table.
void BM_RefuseLongVersionDate(benchmark::State& state) {
  const std::string text = (state.range(0) == 0 ? "" : kVersion) + std::string(1600000, ' ');
  for (auto _ : state) benchmark::DoNotOptimize(qor::read_version_date(text));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_RefuseLongVersionDate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::setenv("LC_ALL", "de_DE.UTF-8", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
