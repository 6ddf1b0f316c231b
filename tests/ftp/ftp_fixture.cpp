#include "tests/ftp/ftp_fixture.hpp"

#include "ftp/ftp_steps.hpp"

namespace qor::test {

FtpTest::FtpTest() : files(make_local_file_system(target.path())) {
  shared_variables() = SharedVariables{};
  shared_variables().ftp.listing_list = &list;
}

FtpTest::~FtpTest() { shared_variables() = SharedVariables{}; }

void FtpTest::start_server(const std::vector<std::string>& options) {
  server = start_ftp_server(root.path(), "qor", "pass word", options);
  auto& mod = shared_variables().mod;
  mod.ftp_server = server->address("ftp");
  mod.ftp_user = "qor";
  mod.ftp_password = "pass word";
}

FetchOutcome FtpTest::fetch(const std::string& name, const std::string& folder, Placement placement) {
  return ftp_get_file(host, *files, name, folder, placement);
}

}  // namespace qor::test
