// The FTP server and account, as the update server hands them out.
#include <string>
#include <string_view>

#include "server/answer_grammar.hpp"
#include "server/http_query.hpp"
#include "server/server_steps.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {

namespace {

using SettingsTarget = std::string QOR_sync_MOD::*;

// The variable the field was stored in; none for a field of another key.
SettingsTarget apply_settings_field(QOR_sync_MOD& mod, std::string_view field) {
  struct Key {
    std::string_view key;
    SettingsTarget target;
  };
  static constexpr Key kKeys[] = {
      {"se=", &QOR_sync_MOD::ftp_server},
      {"fo=", &QOR_sync_MOD::ftp_folder},
      {"us=", &QOR_sync_MOD::ftp_user},
      {"pa=", &QOR_sync_MOD::ftp_password},
  };
  for (const Key& k : kKeys) {
    if (const auto value = answer::keyed_value(field, k.key)) {
      mod.*k.target = std::string(*value);
      return k.target;
    }
  }
  return nullptr;
}

// Enables Timer2 on every way out of the connection attempt, so that the
// package lists follow whatever connect_ftp does.
struct EnableOnExit {
  Timer& timer;
  ~EnableOnExit() { timer.Enabled = true; }
};

}  // namespace

void load_transfer_settings(QOR_sync_FRM& form, const UpdateServer& server) {
  const std::string answer = http_get_text(form.host(), query_url(server.address, "art=sw_update"), server.limits);
  QOR_sync_MOD& mod = form.shared().mod;
  SettingsTarget last = nullptr;
  std::string_view last_field;
  for (const std::string_view field : answer::field_list(answer)) {
    last = apply_settings_field(mod, field);
    last_field = field;
  }
  // Servers end the answer with a line break. After the server or the
  // account it is no part of the value: a password written last must still
  // log in. The folder is only shown, as it came.
  const bool ends_answer = last_field.data() + last_field.size() == answer.data() + answer.size();
  if (last != nullptr && last != &QOR_sync_MOD::ftp_folder && ends_answer)
    mod.*last = std::string(answer::without_final_line_break(mod.*last));
  form.Label1(0).Caption = mod.ftp_server;
  form.Label1(1).Caption = mod.ftp_folder;
  form.Label1(2).Caption = mod.ftp_user;
  form.Label1(3).Caption = mod.ftp_password;
  form.shared().ftp.listing_list = &form.List4;
  EnableOnExit enable_timer2{form.Timer2};
  if (form.steps.connect_ftp) form.steps.connect_ftp();
}

}  // namespace qor
