#include "tests/publish/publish_fixture.hpp"

#include <algorithm>
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

void FtpFolder::start(const std::vector<std::string>& faults) {
  if (server) server->stop();
  std::vector<std::string> options{"--writable", "--log-commands"};
  options.insert(options.end(), faults.begin(), faults.end());
  server = start_ftp_server(root.path(), kUploadUser, kUploadPassword, options);
}

std::vector<std::string> FtpFolder::changes() {
  std::vector<std::string> out;
  for (const std::string& line : server->log()) {
    for (const char* verb : {"STOR ", "RNFR ", "RNTO ", "DELE "})
      if (line.starts_with(std::string("COMMAND ") + verb)) out.push_back(line.substr(8));
  }
  return out;
}

std::vector<std::string> FtpFolder::names() const {
  std::vector<std::string> out;
  for (const auto& entry : std::filesystem::directory_iterator(root.path()))
    out.push_back(entry.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

PublishRun upload(ReleaseFolder& release, FtpFolder& ftp, std::vector<std::string> more, bool terminal) {
  std::vector<std::string> arguments{"--settings",    release.settings(), "--upload",         "--server",
                                     ftp.address(),   "--user",           kUploadUser,        "--password",
                                     kUploadPassword, "--output",         release.catalogue()};
  arguments.insert(arguments.end(), more.begin(), more.end());
  arguments.push_back(release.root());
  std::ostringstream out, err;
  PublishRun run;
  run.exit_code = publish::run_publish(arguments, out, err, terminal);
  run.out = out.str();
  run.err = err.str();
  return run;
}

}  // namespace qor::test
