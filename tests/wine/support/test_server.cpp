#include "tests/wine/support/test_server.hpp"

#include "tests/support/win32/server_host.hpp"

namespace qor::test {
namespace {

std::vector<std::string> command_line(const std::string& name, const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{python(), tools_dir() + "/" + name + ".py"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return argv;
}

}  // namespace

TestServer::TestServer(const std::string& name, const std::vector<std::string>& arguments,
                       std::chrono::seconds ready_timeout)
    : process_(command_line(name, arguments), ready_timeout) {}

std::vector<std::string> TestServer::read_log() {
  const auto& log = process_.log();
  std::vector<std::string> lines(log.begin() + static_cast<std::ptrdiff_t>(seen_), log.end());
  seen_ = log.size();
  return lines;
}

std::optional<std::string> make_symbolic_link_on_host(const std::string& target, const std::string& link) {
  const std::string answer = ask_server_host("symlink\t" + target + "\t" + link);
  if (answer == "DONE") return std::nullopt;
  return answer.empty() ? "the test server host did not answer" : answer;
}

}  // namespace qor::test
