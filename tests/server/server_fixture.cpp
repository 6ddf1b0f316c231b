#include "server_fixture.hpp"

#include "QOR_sync_ftp_MOD.hpp"
#include "server_steps.hpp"

namespace qor::test {

MsgResult RecordingHost::MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) {
  messages.push_back({text, buttons, caption});
  if (answers.empty()) return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
  const MsgResult answer = answers.front();
  answers.pop_front();
  return answer;
}

UpdateServer::UpdateServer(const std::string& catalogue_json, std::vector<std::string> extra_args) {
  write_file(root_ / "catalogue.json", catalogue_json);
  std::vector<std::string> argv = {python(),     tools_dir() + "/update_server.py", "--root",
                                   root_.path(), "--ftp-login-fail-delay",          "0"};
  argv.insert(argv.end(), extra_args.begin(), extra_args.end());
  process_ = std::make_unique<ServerProcess>(argv);
}

std::vector<std::string> UpdateServer::requests() {
  std::vector<std::string> lines;
  for (const std::string& line : process_->read_log()) {
    if (line.starts_with("REQUEST ")) lines.push_back(line.substr(8));
  }
  return lines;
}

Window::Window() : program(sandbox / "program") {
  std::filesystem::create_directory(program);
  shared_variables() = SharedVariables{};
  form = std::make_unique<QOR_sync_FRM>(FormServices{&host, make_local_file_system, program.string()});
  form->Form_Load();
}

void use_server_steps(QOR_sync_FRM& form, const std::string& update_server) {
  form.steps.check_internet = [update_server] { return check_internet(update_server); };
  form.steps.load_captions = [&form, update_server] { load_captions(form, update_server); };
  form.steps.load_transfer_settings = [&form, update_server] { load_transfer_settings(form, update_server); };
  form.steps.list_new_packages = [&form, update_server] { list_new_packages(form, update_server); };
  form.steps.list_install_packages = [&form, update_server] { list_install_packages(form, update_server); };
  form.steps.list_update_packages = [&form, update_server] { list_update_packages(form, update_server); };
}

void due_when_missing(QOR_sync_FRM& form) {
  const QOR_sync_MOD& mod = form.shared().mod;
  const std::string folder =
      mod.package_path.empty() ? form.program_folder : form.program_folder + mod.package_path + "/";
  if (!form.file_system->FileExists(folder + mod.package_file)) {
    form.List3.AddItem(mod.package_file);
    form.List3.ItemData(form.List3.NewIndex()) = mod.package_row;
  }
}

void run_timers(QOR_sync_FRM& form) {
  for (int guard = 0; guard < 100; ++guard) {
    if (form.Timer1.Enabled)
      form.Timer1_Timer();
    else if (form.Timer2.Enabled)
      form.Timer2_Timer();
    else if (form.Timer3.Enabled)
      form.Timer3_Timer();
    else if (form.Timer4.Enabled)
      form.Timer4_Timer();
    else
      return;
  }
}

}  // namespace qor::test
