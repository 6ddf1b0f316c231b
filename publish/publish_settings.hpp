// The vendor's settings for one release: what the client is told beside the
// files (captions and colours per language, the FTP account, the program
// names, the answers' charset) and which files only a first installation
// gets. A small INI file kept beside the release; see sample/.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "publish/findings.hpp"

namespace qor::publish {

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// Where and as whom `qor_publish --upload` publishes; never written into
// the catalogue.
struct UploadAccount {
  std::string server;  // "host" or "host:port"
  std::string user;
  std::string password;
  std::string catalogue_to;  // where the server part reads the catalogue, from the login folder
};

struct PublishSettings {
  std::vector<std::pair<std::string, KeyValues>> captions;  // language code -> caption keys in file order
  KeyValues transfer;                                       // se fo us pa, in file order
  std::string main_program;
  std::string update_program;
  std::string charset = "utf-8";          // or "windows-1252"
  std::vector<std::string> install_only;  // release paths ("Daten\x.ini" or "Daten/x.ini")
  UploadAccount upload;                   // [upload]
  std::string signing_key;                // [signing] key: the private key's file, as written there
};

// Reads the settings; every line that cannot be taken is an error of
// `findings` named "<source>:<line>", so a typo never passes silently.
PublishSettings read_publish_settings(const std::string& text, const std::string& source, Findings& findings);

}  // namespace qor::publish
