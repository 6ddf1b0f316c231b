// Signs a published folder's release with the tests' key, as the vendor's
// tool would: qor_sign_test_release RECORDS FOLDER SEQUENCE. RECORDS holds
// the answers the release vouches for, a line each: "main NAME", "new
// FOLDER", "install RECORD", "update RECORD". Every regular file of FOLDER
// is named with its size and SHA-256; the manifest and its signature are
// written into FOLDER.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/files.hpp"
#include "tests/support/release_signing.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: qor_sign_test_release RECORDS FOLDER SEQUENCE\n";
    return 2;
  }
  qor::release::ReleaseManifest release;
  release.sequence = std::stoull(argv[3]);
  release.date = "2026-12-09T08:30:00Z";
  std::istringstream lines(qor::test::read_file(argv[1]));
  for (std::string line; std::getline(lines, line);) {
    const auto space = line.find(' ');
    const std::string kind = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    if (kind == "main")
      release.main_program = value;
    else if (kind == "new")
      release.new_folders.push_back(value);
    else if (kind == "install")
      release.install_records.push_back(value);
    else if (kind == "update")
      release.update_records.push_back(value);
  }
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[2]))
    if (entry.is_regular_file()) files[entry.path().filename().string()] = qor::test::read_file(entry.path().string());
  for (const auto& [name, bytes] : qor::test::signed_release(files, release))
    if (!files.count(name)) qor::test::write_file(std::string(argv[2]) + "/" + name, bytes);
  return 0;
}
