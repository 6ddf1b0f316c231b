#include "ftp_fixture.hpp"

#include <algorithm>
#include <filesystem>
#include <thread>

namespace qor::test {

std::vector<std::string> RecordingHost::texts() const {
  std::vector<std::string> t;
  for (const auto& m : messages) t.push_back(m.text);
  return t;
}

FtpTest::FtpTest() : form({&host, nullptr, "/tmp"}) {
  shared_variables() = SharedVariables{};
  shared_variables().ftp.listing_list = &form.List4;
}

FtpTest::~FtpTest() { shared_variables() = SharedVariables{}; }

void FtpTest::start_server(const std::vector<std::string>& options) {
  std::vector<std::string> argv{
      python(), tools_dir() + "/ftp_server.py", "--root", root.path(), "--user", "qor", "--password", "pass word"};
  argv.insert(argv.end(), options.begin(), options.end());
  server = std::make_unique<ServerProcess>(argv);
  auto& mod = shared_variables().mod;
  mod.ftp_server = server->address("ftp");
  mod.ftp_user = "qor";
  mod.ftp_password = "pass word";
}

int FtpTest::count_log(const std::string& prefix) {
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (auto& line : server->read_log()) log.push_back(line);
  return static_cast<int>(
      std::count_if(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

std::vector<std::string> FtpTest::target_files() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(target.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qor::test
