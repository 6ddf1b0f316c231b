// Package folders the server has and the program folder lacks.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.hpp"
#include "server/answer_grammar.hpp"
#include "server/http_query.hpp"
#include "server/package_name.hpp"
#include "server/server_steps.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace qor {

void list_new_packages(QOR_sync_FRM& form, const UpdateServer& server) {
  const std::string answer = http_get_text(form.host(), query_url(server.address, "art=new"), server.limits);
  form.List2.Clear();
  std::vector<std::string> records;
  for (const std::string_view record : answer::record_list(answer)) records.emplace_back(record);
  if (form.vouch_answer) records = form.vouch_answer(ServerAnswer::NewFolders, std::move(records));
  for (const std::string& record : records) {
    // A name that leads out of the program folder would have its folder
    // created there by the folder panel's button; it is never offered.
    const auto name = path_below_program_folder(record);
    if (!name) continue;
    if (!form.file_system->FolderExists(form.program_folder + *name + "/")) form.List2.AddItem(display_path(*name));
  }
  if (form.List2.ListCount() == 0) {
    form.Timer3.Enabled = true;
  } else {
    form.Picture1(0).Visible = true;
  }
}

}  // namespace qor
