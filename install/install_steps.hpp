// The local version check, the download run, and the finish action.
#pragma once

#include <functional>
#include <string>

namespace qor {

class QOR_sync_FRM;
class Shell;

void check_package_due(QOR_sync_FRM& form);

// Fetches one file into a folder; ftp_get_file in the program, a double in tests.
using FetchFile = std::function<bool(const std::string& file_name, const std::string& local_folder)>;
void download_packages(QOR_sync_FRM& form, const FetchFile& fetch);

void create_desktop_shortcut(QOR_sync_FRM& form, Shell& shell, const std::string& program);
void finish_action(QOR_sync_FRM& form, Shell& shell);

}  // namespace qor
