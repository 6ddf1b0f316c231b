// A program for the tests of replacing the running client: it updates a
// program file through the client's file system while it runs, as a server
// listing the client among its packages makes it do, and it tidies up at
// start as the client does.
//   replace_self --replace <path> --with <file> [--hold]
//       puts the bytes of <file> in place of <path> (its own file, usually)
//       and ends with 0, or prints why not and ends with 1; with --hold it
//       then waits to be ended; with --run it does so in a placement run
//   replace_self --finish <folder>
//       finishes the placement run its journal in <folder> lists, as the
//       client does at start; 0, or 1 with the reason
//   replace_self --tidy
//       removes what an earlier replacement set aside
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "platform/win32/running_executable.hpp"
#include "platform/win32/wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace {

struct LocalFreer {
  void operator()(wchar_t** words) const { LocalFree(words); }
};

std::vector<std::string> arguments() {
  int count = 0;
  const std::unique_ptr<wchar_t*, LocalFreer> words(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> result;
  for (int i = 1; words && i < count; ++i) result.push_back(qor::win32::to_utf8(words.get()[i]));
  return result;
}

std::string value_after(const std::vector<std::string>& args, const std::string& name) {
  for (std::size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == name) return args[i + 1];
  return {};
}

bool has(const std::vector<std::string>& args, const std::string& name) {
  for (const auto& a : args)
    if (a == name) return true;
  return false;
}

std::string bytes_of(const std::string& path) {
  std::ifstream in(std::filesystem::path(qor::win32::to_wide(path)), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main() {
  const auto args = arguments();
  if (has(args, "--tidy")) {
    qor::remove_set_aside_executable();
    return 0;
  }
  if (const std::string folder = value_after(args, "--finish"); !folder.empty()) {
    const qor::Status finished = qor::make_local_file_system(folder)->finish_interrupted_run();
    if (finished) return 0;
    std::fprintf(stderr, "replace_self: %s\n", finished.failure().reason.c_str());
    return 1;
  }
  const std::string target = value_after(args, "--replace");
  const std::string content = bytes_of(value_after(args, "--with"));
  if (target.empty() || content.empty()) {
    std::fputs("replace_self: --replace <path> --with <file>, or --tidy\n", stderr);
    return 2;
  }
  // The program folder is the target's own.
  const auto file_system = qor::make_local_file_system(target.substr(0, target.find_last_of("\\/")));
  auto replacement = file_system->replace_file(target);
  qor::Status done = replacement ? (*replacement)->write(content.data(), content.size()) : replacement.failure();
  if (done && has(args, "--run")) {
    const auto run = file_system->start_placement_run();
    done = run->hold(std::move(*replacement), {qor::Placement::Replace, std::nullopt, false});
    if (done) {
      const auto placed = run->place_all();
      done = placed.at(0) ? run->settle() : qor::Status(placed.at(0).failure());
    }
  } else if (done) {
    const auto committed = (*replacement)->commit(qor::Placement::Replace);
    if (!committed) done = committed.failure();
  }
  if (!done) {
    std::fprintf(stderr, "replace_self: %s\n", done.failure().reason.c_str());
    return 1;
  }
  if (has(args, "--hold")) Sleep(120'000);
  return 0;
}
