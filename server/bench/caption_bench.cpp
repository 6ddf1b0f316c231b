// What one long caption costs the window: the caption step against the
// update server answering with a caption of the given size, and the window
// drawing it. Prints the time from the query until the window has drawn,
// and the process's peak memory before and after.
//   build-dir/server/bench/qor_caption_bench [MiB, default 60]
#include <sys/resource.h>

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "server/server_steps.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/server_process.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/qt/form_view.hpp"

namespace {

long peak_mib() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 60;

  qor::test::TempDir answers;
  {
    std::string caption = "lab6_0|";
    const std::string words = "Aktualisierung der Programme ";
    while (caption.size() < (mib << 20)) caption += words;
    qor::test::write_file(answers / "caption", caption);
  }
  qor::test::UpdateServerProcess server("{}", {"--no-ftp", "--answer", "caption=" + (answers / "caption")});
  qor::test::TempDir program;
  qor::test::RecordingHost host;
  qor::QOR_sync_FRM form({&host, qor::make_local_file_system, program.path()});
  qor::qt::FormView view(form);
  view.load_and_show();
  QCoreApplication::processEvents();

  const long before = peak_mib();
  const auto start = std::chrono::steady_clock::now();
  qor::load_captions(form, {server.address(), {}});
  view.window().repaint();
  QCoreApplication::processEvents();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf(
      "caption of %zu MiB: %.2f s from the query to the drawn window; peak memory %ld MiB before, %ld MiB after\n", mib,
      took.count(), before, peak_mib());
  return 0;
}
