#include "tests/server/server_fixture.hpp"

#include "ftp/ftp_steps.hpp"
#include "server/server_steps.hpp"

namespace qor::test {

Window::Window() : program(sandbox / "program") {
  std::filesystem::create_directory(program);
  shared_variables() = SharedVariables{};
  form = std::make_unique<QOR_sync_FRM>(FormServices{&host, make_local_file_system, program.string()});
  form->Form_Load();
}

Window::~Window() {
  form.reset();
  shared_variables() = SharedVariables{};
}

void use_server_steps(QOR_sync_FRM& form, const std::string& update_server) {
  const UpdateServer server{update_server, {}};
  form.steps.check_internet = [server] { return check_internet(server.address, server.limits); };
  form.steps.load_captions = [&form, server] { load_captions(form, server); };
  form.steps.load_transfer_settings = [&form, server] { load_transfer_settings(form, server); };
  form.steps.list_new_packages = [&form, server] { list_new_packages(form, server); };
  form.steps.list_install_packages = [&form, server] { list_install_packages(form, server); };
  form.steps.list_update_packages = [&form, server] { list_update_packages(form, server); };
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

}  // namespace qor::test
