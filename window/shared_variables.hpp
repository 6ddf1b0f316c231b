// The variables through which the window and the modules hand values to one
// another. Exactly one instance per process: shared_variables().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/find_data.hpp"

namespace qor {

class ListBox;
class InternetHandle;  // the platform's handle of the internet functions

// Variables of the module QOR_sync_MOD.
struct QOR_sync_MOD {
  std::string language;
  std::int32_t colour_head = 0;
  std::int32_t colour_list = 0;
  std::int32_t colour_thead = 0;
  std::int32_t colour_tlist = 0;
  std::int32_t package_row = 0;
  std::string package_file;
  std::string package_path;
  std::string package_version;
  std::string package_kind;
  std::string ftp_server;
  std::string ftp_folder;
  std::string ftp_user;
  std::string ftp_password;
  std::string main_program;
};

// Variables of the module QOR_sync_ftp_MOD.
struct QOR_sync_ftp_MOD {
  ListBox* listing_list = nullptr;
  std::shared_ptr<InternetHandle> internet_handle;
  std::shared_ptr<InternetHandle> ftp_handle;
  std::int32_t transfer_type = 0;
  std::vector<WIN32_FIND_DATA> remote_listing;
  WIN32_FIND_DATA find_data;
};

struct SharedVariables {
  QOR_sync_MOD mod;
  QOR_sync_ftp_MOD ftp;
};

// The one instance of the process. Tests reset it with
// `shared_variables() = SharedVariables{}`.
SharedVariables& shared_variables();

}  // namespace qor
