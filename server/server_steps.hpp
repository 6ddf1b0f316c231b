// The steps that ask the update server: captions, transfer settings and the
// three package lists.
#pragma once

#include "server/http_query.hpp"

namespace qor {

class QOR_sync_FRM;

void load_captions(QOR_sync_FRM& form, const UpdateServer& server);
void load_transfer_settings(QOR_sync_FRM& form, const UpdateServer& server);
void list_new_packages(QOR_sync_FRM& form, const UpdateServer& server);
void list_install_packages(QOR_sync_FRM& form, const UpdateServer& server);
void list_update_packages(QOR_sync_FRM& form, const UpdateServer& server);
void parse_package_records(QOR_sync_FRM& form);

}  // namespace qor
