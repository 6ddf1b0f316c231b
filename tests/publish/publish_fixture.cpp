#include "tests/publish/publish_fixture.hpp"

#include <filesystem>
#include <sstream>

#include "publish/publish_command.hpp"

namespace qor::test {

std::chrono::system_clock::time_point utc(int year, int month, int day, int hour, int minute) {
  using namespace std::chrono;
  return sys_days{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                  std::chrono::day{static_cast<unsigned>(day)}} +
         hours{hour} + minutes{minute};
}

std::string inside(const std::string& folder, const std::string& relative) {
  std::string path = folder;
  path += '/';
  path += relative;
  return path;
}

std::string settings_text(const std::string& extra) {
  return "[program]\nmain = QOR_software.exe\nupdate = QOR_sync.exe\n\n[transfer]\nfo = /\nus = qor\npa = pw\n\n" +
         extra;
}

std::vector<std::string> PublishRun::lines_starting(const std::string& prefix) const {
  std::vector<std::string> lines;
  std::istringstream in(err);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(prefix)) lines.push_back(line);
  }
  return lines;
}

ReleaseFolder::ReleaseFolder() {
  std::filesystem::create_directory(root());
  write_settings(settings_text());
}

void ReleaseFolder::put(const std::string& relative, const std::string& content) {
  const std::string path = root() + "/" + relative;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  write_file(path, content);
}

void ReleaseFolder::put(const std::string& relative, const std::string& content,
                        std::chrono::system_clock::time_point written) {
  put(relative, content);
  set_last_write(root() + "/" + relative, written);
}

void ReleaseFolder::write_settings(const std::string& text) { write_file(settings(), text); }

PublishRun ReleaseFolder::publish() { return run({"--settings", settings(), "--output", catalogue(), root()}); }

PublishRun ReleaseFolder::dry_run(const std::string& published) {
  return run({"--settings", settings(), "--dry-run", "--published", published, root()});
}

PublishRun ReleaseFolder::run(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  PublishRun result;
  result.exit_code = publish::run_publish(arguments, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

}  // namespace qor::test
