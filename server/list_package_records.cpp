// The install and update lists: every record into List1, the due files into
// List3, and the panel that asks the user, or the next step.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/answer_grammar.hpp"
#include "server/http_query.hpp"
#include "server/server_steps.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {

namespace {

// The query is answered before anything is cleared, so a query the user
// gives up leaves the lists as they were.
void start_list(QOR_sync_FRM& form, std::int16_t mode) {
  form.List1.Clear();
  form.List3.Clear();
  form.checked_records.clear();
  form.package_mode = mode;
}

}  // namespace

void list_install_packages(QOR_sync_FRM& form, const UpdateServer& server) {
  const std::string answer = http_get_text(form.host(), query_url(server.address, "art=install"), server.limits);
  start_list(form, 0);
  // Every run's downloads begin with the install list, also a run with
  // nothing due: the temporary files of a run ended during a download go
  // here, before anything is checked or fetched.
  if (const Status cleaned = form.file_system->remove_download_leftovers(); !cleaned)
    report_failure("leftover downloads", cleaned.failure());
  std::vector<std::string> records;
  for (const std::string_view record : answer::record_list(answer)) records.emplace_back(record);
  if (form.vouch_answer) records = form.vouch_answer(ServerAnswer::Install, std::move(records));
  for (const std::string& record : records) form.List1.AddItem(record);
  parse_package_records(form);
  if (form.List3.ListCount() == 0) {
    form.Picture3(1).Visible = false;
    form.Picture3(2).Visible = false;
    form.Label6(2).Visible = false;
    form.Label6(3).Visible = false;
    form.Timer4.Enabled = true;
  } else {
    form.Picture3(1).Visible = true;
    form.Picture3(2).Visible = false;
    form.Label6(3).Visible = false;
    form.Label6(2).Visible = true;
    form.Picture1(1).Visible = true;
  }
}

void list_update_packages(QOR_sync_FRM& form, const UpdateServer& server) {
  const std::string answer = http_get_text(form.host(), query_url(server.address, "art=update"), server.limits);
  start_list(form, 1);
  std::vector<std::string> main_program;
  std::vector<std::string> records;
  for (const std::string_view record : answer::record_list(answer)) {
    if (const auto main = answer::keyed_value(record, "mainprogram=")) {
      main_program.assign(1, std::string(*main));
    } else if (!answer::keyed_value(record, "updaprogram=")) {
      records.emplace_back(record);
    }
  }
  if (form.vouch_answer) {
    records = form.vouch_answer(ServerAnswer::Update, std::move(records));
    main_program = form.vouch_answer(ServerAnswer::MainProgram, std::move(main_program));
    // The signed release names the main program, also none.
    if (main_program.empty()) main_program.emplace_back();
  }
  if (!main_program.empty()) form.shared().mod.main_program = main_program.front();
  for (const std::string& record : records) form.List1.AddItem(record);
  parse_package_records(form);
  if (form.List3.ListCount() == 0) {
    form.Picture1(1).Visible = false;
    form.Picture1(2).Visible = true;
  } else {
    form.Picture3(1).Visible = false;
    form.Picture3(2).Visible = true;
    form.Label6(2).Visible = false;
    form.Label6(3).Visible = true;
    form.Picture1(1).Visible = true;
  }
}

}  // namespace qor
