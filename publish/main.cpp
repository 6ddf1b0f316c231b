// qor_publish: turns a release folder into the catalogue the update server
// answers from (publish_command.hpp).
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "publish/publish_command.hpp"

#ifdef _WIN32
// The wide command line, so that paths outside the ANSI code page arrive whole.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::u8string text = std::filesystem::path(argv[i]).u8string();
    arguments.emplace_back(text.begin(), text.end());
  }
  return qor::publish::run_publish(arguments, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) { return qor::publish::run_publish({argv + 1, argv + argc}, std::cout, std::cerr); }
#endif
