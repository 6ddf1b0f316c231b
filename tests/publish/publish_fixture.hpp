// A release folder made by a test, its settings file beside it, and
// qor_publish run on them as the vendor runs it.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/files.hpp"
#include "tests/support/server_process.hpp"

namespace qor::test {

// A moment in UTC.
std::chrono::system_clock::time_point utc(int year, int month, int day, int hour = 12, int minute = 0);

// `folder` + "/" + `relative`
std::string inside(const std::string& folder, const std::string& relative);

// Settings with a main program "QOR_software.exe" and the FTP account the
// bundled update server opens ("qor", "pw"); `extra` is appended as it is.
std::string settings_text(const std::string& extra = "");

struct PublishRun {
  int exit_code = -1;
  std::string out, err;
  // The error and warning lines ("error: WHERE: reason").
  std::vector<std::string> lines_starting(const std::string& prefix) const;
};

class ReleaseFolder {
 public:
  ReleaseFolder();
  std::string root() const { return dir_ / "release"; }
  std::string settings() const { return dir_ / "publish-settings.ini"; }
  std::string catalogue() const { return dir_ / "catalogue.json"; }
  // A file of the release (folders made as needed), optionally last written then.
  void put(const std::string& relative, const std::string& content);
  void put(const std::string& relative, const std::string& content, std::chrono::system_clock::time_point written);
  void write_settings(const std::string& text);
  // qor_publish --settings ... --output catalogue() root()
  PublishRun publish();
  // qor_publish --settings ... --dry-run --published `published` root()
  PublishRun dry_run(const std::string& published);
  PublishRun run(const std::vector<std::string>& arguments);

 private:
  TempDir dir_;
};

// The vendor's upload account on the FTP test server.
inline const std::string kUploadUser = "vendor";
inline const std::string kUploadPassword = "up|load-s3cret";

// The FTP folder the server publishes from, and the server with uploads on.
struct FtpFolder {
  TempDir root;
  std::unique_ptr<ServerProcess> server;

  void start(const std::vector<std::string>& faults = {});
  std::string address() const { return server->address("ftp"); }
  std::string file(const std::string& name) const { return root / name; }
  // The commands the server took so far that change its folder, in order.
  std::vector<std::string> changes();
  std::vector<std::string> names() const;
};

// qor_publish --settings ... --upload --server ... --user ... --password ...
// --output catalogue() `more` root(), as the vendor runs it.
PublishRun upload(ReleaseFolder& release, FtpFolder& ftp, std::vector<std::string> more = {}, bool terminal = false);

}  // namespace qor::test
