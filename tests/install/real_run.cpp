#include "tests/install/real_run.hpp"

#include "app/wire_steps.hpp"
#include "platform/shell.hpp"

namespace qor::test {

PublishedAnswers::PublishedAnswers(const std::string& install_answer, const std::string& update_answer,
                                   const std::map<std::string, std::string>& files, const std::string& catalogue) {
  write_file(answers_ / "install", install_answer);
  write_file(answers_ / "update", update_answer);
  server_ =
      std::make_unique<UpdateServerProcess>(catalogue,
                                            std::vector<std::string>{"--answer", "install=" + (answers_ / "install"),
                                                                     "--answer", "update=" + (answers_ / "update")},
                                            files);
}

namespace {

class StartRecordingShell final : public Shell {
 public:
  explicit StartRecordingShell(std::vector<std::string>& started) : started_(started) {}
  Result<std::string> desktop_folder() override { return std::string("desktop"); }
  Result<std::string> menu_folder() override { return std::string("menu"); }
  Result<std::string> save_shortcut(const std::string& folder, const std::string& name,
                                    const ShortcutProperties&) override {
    return folder + "/" + name;
  }
  Status start_program(const std::string& program, const std::string&) override {
    started_.push_back(program);
    return {};
  }

 private:
  std::vector<std::string>& started_;
};

}  // namespace

ClientRun::ClientRun(const std::string& program_folder, const std::string& update_server,
                     const std::optional<crypto::PublicKey>& release_key) {
  shared_variables() = SharedVariables{};
  form = std::make_unique<QOR_sync_FRM>(FormServices{&host, make_local_file_system, program_folder});
  form->Form_Load();
  form->steps = make_program_steps(*form, update_server, {}, release_key,
                                   [this] { return std::make_unique<StartRecordingShell>(started); });
}

ClientRun::~ClientRun() {
  form.reset();
  shared_variables() = SharedVariables{};
}

void ClientRun::log_in() { form->steps.load_transfer_settings(); }

std::vector<std::string> ClientRun::list_install() {
  form->steps.list_install_packages();
  return form->List3.texts();
}

std::vector<std::string> ClientRun::list_update() {
  form->steps.list_update_packages();
  return form->List3.texts();
}

void ClientRun::download() { form->run_download_packages(); }

void ClientRun::finish() { form->steps.finish(); }

}  // namespace qor::test
