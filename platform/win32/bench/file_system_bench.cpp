// How long the Windows file-system object takes to make N new folders as the
// folder step does (FolderExists, then CreateFolder) and to place N small
// files in one folder as the download run does (FileExists, replace_file,
// commit only where the place is empty; or held in placement runs), beside
// what the system alone takes for the folders. The client makes a fixed number of calls per item, so its
// time per item should stay flat as N grows wherever the system's does.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A fresh program folder, removed afterwards: in QOR_BENCH_FOLDER where that
// is set (a folder in memory, say, so that the disk's flush of every file
// does not hide the client's own work), else in the temporary folder.
fs::path base_folder() {
  const char* chosen = std::getenv("QOR_BENCH_FOLDER");
  return chosen != nullptr && *chosen != '\0' ? fs::path(chosen) : fs::temp_directory_path();
}

class Folder {
 public:
  explicit Folder(int n) : path_(base_folder() / ("qor-fs-bench-" + std::to_string(n))) {
    fs::remove_all(path_);
    fs::create_directories(path_ / "Daten");
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

bool create_folders(int n) {
  const Folder folder(n);
  const auto files = qor::make_local_file_system(folder.path());
  const auto start = Clock::now();
  for (int i = 0; i < n; ++i) {
    const std::string path = folder.path() + "\\Ordner" + std::to_string(i);
    if (files->FolderExists(path)) continue;
    if (!files->CreateFolder(path)) return false;
  }
  std::printf("CreateNewFolders/%d  %8.3f s\n", n, seconds_since(start));
  return true;
}

// The system's own part: the same folders made by CreateDirectoryW alone.
// Where the system matches names regardless of case on a file system that
// does not (Wine on Linux), each new name costs it a read of the folder.
bool create_folders_by_the_system_alone(int n) {
  const Folder folder(n);
  const auto start = Clock::now();
  for (int i = 0; i < n; ++i) {
    const std::wstring path = (fs::path(folder.path()) / ("Ordner" + std::to_string(i))).wstring();
    if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
  }
  std::printf("CreateDirectoryW/%d  %8.3f s\n", n, seconds_since(start));
  return true;
}

bool place_files(int n) {
  const Folder folder(n);
  const auto files = qor::make_local_file_system(folder.path());
  const auto start = Clock::now();
  for (int i = 0; i < n; ++i) {
    const std::string path = folder.path() + "\\Daten\\f" + std::to_string(i) + ".txt";
    const bool existed = files->FileExists(path);
    auto target = files->replace_file(path);
    if (!target || !(*target)->write("bytes", 5)) return false;
    const auto committed = (*target)->commit(existed ? qor::Placement::Replace : qor::Placement::OnlyIfAbsent);
    if (!committed || *committed != qor::Committed::Placed) return false;
  }
  std::printf("PlaceNewFiles/%d     %8.3f s\n", n, seconds_since(start));
  return true;
}

// The same files as the download run puts them: held in runs of 200 (the
// run's largest), each run placed and settled at once.
bool place_files_in_runs(int n) {
  const Folder folder(n);
  const auto files = qor::make_local_file_system(folder.path());
  const auto start = Clock::now();
  auto run = files->start_placement_run();
  const auto place_held = [&run] {
    for (const auto& placed : run->place_all())
      if (!placed || *placed != qor::Committed::Placed) return false;
    return static_cast<bool>(run->settle());
  };
  for (int i = 0; i < n; ++i) {
    const std::string path = folder.path() + "\\Daten\\f" + std::to_string(i) + ".txt";
    const bool existed = files->FileExists(path);
    auto target = files->replace_file(path);
    if (!target || !(*target)->write("bytes", 5)) return false;
    if (!run->hold(std::move(*target),
                   {existed ? qor::Placement::Replace : qor::Placement::OnlyIfAbsent, std::nullopt, false}))
      return false;
    if (run->held() >= 200 && !place_held()) return false;
  }
  if (!place_held()) return false;
  std::printf("PlaceNewFilesInRuns/%d %8.3f s\n", n, seconds_since(start));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 4000, 10000};
  for (const int n : sizes) {
    if (!create_folders(n) || !create_folders_by_the_system_alone(n) || !place_files(n) || !place_files_in_runs(n)) {
      std::fprintf(stderr, "failed at %d\n", n);
      return 1;
    }
  }
  return 0;
}
