// What a version check of many records costs: FileExists for names that are
// there, in another letter case, or missing, in a folder of N entries.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.hpp"

namespace {

namespace fs = std::filesystem;

// A program folder with a sub-folder of `entries` files, removed afterwards.
class Folder {
 public:
  explicit Folder(int entries) {
    std::string pattern = (fs::temp_directory_path() / "qor-fs-bench-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    fs::create_directory(path_ + "/Daten");
    for (int i = 0; i < entries; ++i) std::ofstream(path_ + "/Daten/file" + std::to_string(i) + ".dll") << "x";
    // As a program folder is: not changed in the last seconds.
    std::this_thread::sleep_for(std::chrono::seconds(4));
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder() { fs::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// 1,000 lookups per iteration, each of a name as `form` makes it.
void lookups(benchmark::State& state, std::string (*form)(int)) {
  const Folder folder(static_cast<int>(state.range(0)));
  const auto files = qor::make_local_file_system(folder.path());
  std::vector<std::string> paths;
  paths.reserve(1000);
  for (int i = 0; i < 1000; ++i) paths.push_back(folder.path() + "\\daten\\" + form(i));
  for (auto _ : state) {
    for (const auto& p : paths) benchmark::DoNotOptimize(files->FileExists(p));
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}

std::string present(int i) { return "file" + std::to_string(i) + ".dll"; }
std::string other_case(int i) { return "FILE" + std::to_string(i) + ".DLL"; }
std::string missing(int i) { return "new" + std::to_string(i) + ".dll"; }

void BM_Present(benchmark::State& state) { lookups(state, present); }
void BM_OtherCase(benchmark::State& state) { lookups(state, other_case); }
void BM_Missing(benchmark::State& state) { lookups(state, missing); }

BENCHMARK(BM_Present)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OtherCase)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Missing)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
