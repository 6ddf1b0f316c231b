// The download run as the program makes it, timed: login and listing of the
// login folder (connect_ftp), the install list's version check over a fresh
// program folder, then download_packages with ftp_get_file and the
// platform's own file system, so every file is durable under its name when
// the run ends. One program for Linux and Windows; tools/bench-downloads.py
// starts the server, compares with curl and runs it under Wine too.
//
//   qor_download_run_bench --server HOST:PORT --user U --password P --program DIR
//                      [--folder Daten] [--runs 1]
//
// Every file of the login folder is one record of the install list, placed
// in DIR/<folder>. A run that leaves files missing is followed by another,
// as the next start would make it, up to --runs runs. Prints one line
// "RESULT ..." with the seconds and counts; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "ftp/ftp_steps.hpp"
#include "install/install_steps.hpp"
#include "server/server_steps.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/shared_variables.hpp"
#include "window/transfer_failures.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Boxes go to standard error and are answered at once: a failed file shows
// in the counts, and the run goes on as the user's OK would let it.
class ConsoleHost : public qor::FormHost {
 public:
  qor::MsgResult MsgBox(const std::string& text, qor::MsgButtons, const std::string&) override {
    std::fprintf(stderr, "message box: %s\n", text.c_str());
    return qor::MsgResult::OK;
  }
  void DoEvents() override {}
  void Unload() override {}
  bool closed() const override { return false; }
};

struct Options {
  std::string server;
  std::string user;
  std::string password;
  std::string program;
  std::string folder = "Daten";
  int runs = 1;
};

bool read_options(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const std::string value = argv[i + 1];
    if (key == "--server")
      options.server = value;
    else if (key == "--user")
      options.user = value;
    else if (key == "--password")
      options.password = value;
    else if (key == "--program")
      options.program = value;
    else if (key == "--folder")
      options.folder = value;
    else if (key == "--runs")
      options.runs = std::max(1, std::stoi(value));
    else
      return false;
  }
  return !options.server.empty() && !options.program.empty();
}

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The files of the login folder, from the listing connect_ftp left.
std::vector<std::string> listed_files() {
  std::vector<std::string> names;
  for (const auto& entry : qor::shared_variables().ftp.remote_listing) {
    if (entry.cFileName.empty() || entry.cFileName.front() == '.' || (entry.dwFileAttributes & 16) != 0) continue;
    names.push_back(entry.cFileName);
  }
  return names;
}

struct RunFigures {
  double connect = 0;  // login and listing
  double check = 0;    // the install list's version check
  double download = 0;
  int listed = 0;
  int due = 0;
  int placed = 0;
};

// One start of the program as far as the download run goes.
RunFigures one_run(const Options& options) {
  RunFigures figures;
  ConsoleHost host;
  qor::shared_variables() = qor::SharedVariables{};
  qor::QOR_sync_FRM form({&host, qor::make_local_file_system, options.program});
  form.Form_Load();
  auto& shared = qor::shared_variables();
  shared.ftp.listing_list = &form.List4;
  shared.mod.ftp_server = options.server;
  shared.mod.ftp_user = options.user;
  shared.mod.ftp_password = options.password;

  auto start = Clock::now();
  qor::connect_ftp(host, {});
  figures.connect = since(start);
  const std::vector<std::string> names = listed_files();
  figures.listed = static_cast<int>(names.size());

  start = Clock::now();
  form.package_mode = 0;
  form.steps.check_package_due = [&form] { qor::check_package_due(form); };
  for (std::size_t i = 0; i < names.size(); ++i)
    form.List1.AddItem("id=" + std::to_string(i) + "|fn=" + names[i] + "|ve=|pa=" + options.folder + "|ja=1|st=0");
  qor::parse_package_records(form);
  figures.check = since(start);
  figures.due = form.List3.ListCount();

  start = Clock::now();
  {
    qor::TransferFailures failures(host);
    qor::download_packages(
        form,
        [&](const std::string& file, const std::string& local_folder, const qor::Placing& placing,
            qor::PlacementRun& run) {
          const auto outcome = qor::ftp_get_file(host, *form.file_system, file, local_folder, placing, failures, run);
          // Held files are placed by the run; a failed placement is told on
          // standard error and through failures.
          figures.placed += outcome == qor::FetchOutcome::Held;
          return outcome;
        },
        failures);
  }
  figures.download = since(start);
  shared = qor::SharedVariables{};
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!read_options(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: qor_download_run_bench --server HOST:PORT --user U --password P --program DIR"
                 " [--folder NAME] [--runs N]\n");
    return 2;
  }
  std::error_code ec;
  fs::create_directories(fs::path(options.program) / options.folder, ec);
  if (ec) {
    std::fprintf(stderr, "cannot make %s: %s\n", options.program.c_str(), ec.message().c_str());
    return 1;
  }
  RunFigures total;
  int runs = 0;
  for (; runs < options.runs; ++runs) {
    const RunFigures run = one_run(options);
    std::fprintf(stderr, "run %d: login and listing %.3f s, check %.3f s, download run %.3f s, %d of %d placed\n",
                 runs + 1, run.connect, run.check, run.download, run.placed, run.due);
    if (runs == 0) total.listed = run.listed;
    total.connect += run.connect;
    total.check += run.check;
    total.download += run.download;
    total.placed += run.placed;
    total.due = runs == 0 ? run.due : total.due;
    if (run.due == run.placed) {
      ++runs;
      break;
    }
  }
  std::printf("RESULT seconds=%.6f connect=%.6f check=%.6f download=%.6f listed=%d due=%d placed=%d runs=%d\n",
              total.connect + total.check + total.download, total.connect, total.check, total.download, total.listed,
              total.due, total.placed, runs);
  std::fflush(stdout);
  return total.listed > 0 && total.placed == total.due ? 0 : 1;
}
