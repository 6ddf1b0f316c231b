#include "window/unattended/run_unattended.hpp"

#include <exception>
#include <set>

#include "platform/file_system.hpp"
#include "window/unattended/unchanging_file_system.hpp"

namespace qor {
namespace {

// Where the window's chain stands: a timer enabled for the next step, or a
// panel that waits for its button.
enum class Next { Settings, NewFolders, InstallList, UpdateList, FolderPanel, InstallPanel, UpdatePanel, Finish, None };

Next next_of(QOR_sync_FRM& form) {
  if (form.Timer1.Enabled) return Next::Settings;
  if (form.Timer2.Enabled) return Next::NewFolders;
  if (form.Timer3.Enabled) return Next::InstallList;
  if (form.Timer4.Enabled) return Next::UpdateList;
  if (form.Picture1(0).Visible) return Next::FolderPanel;
  if (form.Picture1(1).Visible && form.Picture3(1).Visible) return Next::InstallPanel;
  if (form.Picture1(1).Visible && form.Picture3(2).Visible) return Next::UpdatePanel;
  if (form.Picture1(2).Visible) return Next::Finish;
  return Next::None;
}

std::string count_of(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

class UnattendedRun {
 public:
  UnattendedRun(QOR_sync_FRM& form, UnattendedHost& host, const UnattendedOptions& options)
      : form_(form), host_(host), log_(host.log()), options_(options) {}

  void run() {
    form_.Form_Load();
    log_.line(std::string(options_.check ? "check" : "update") + " of " + display_path(form_.program_folder) +
              " from " + options_.update_server);
    watch_ftp_connection();
    form_.Image1_Click(options_.language == "en" ? 1 : 0);
    if (form_.Label7(7).Visible) {
      host_.facts().server_unreachable = true;
      log_.line("check: the update server " + options_.update_server + " does not answer");
      return;
    }
    if (host_.facts().server_unreachable) return;
    log_.line("check: the update server answers; captions loaded");
    // Each step runs once in a run; a step that comes round again means
    // the chain stopped (a failed query leaves its panel up).
    std::set<Next> done;
    while (!host_.closed() && !host_.facts().server_unreachable) {
      const Next next = next_of(form_);
      if (next == Next::None || !done.insert(next).second) break;
      if (!take(next)) break;
    }
  }

 private:
  // A box during the connection is its failure, except the one refusing a
  // signed release over a connection that held (after a failed login the
  // release is refused without a box of its own).
  void watch_ftp_connection() {
    const auto connect = form_.steps.connect_ftp;
    if (!connect) return;
    UnattendedHost& host = host_;
    QOR_sync_FRM& form = form_;
    form_.steps.connect_ftp = [connect, &host, &form] {
      const int before = host.messages();
      connect();
      int boxes = host.messages() - before;
      if (form.release_refused && form.shared().ftp.ftp_handle) --boxes;
      if (boxes > 0) host.facts().ftp_failed = true;
    };
  }

  // Takes one step; false where the run ends.
  bool take(Next next) {
    switch (next) {
      case Next::Settings:
        form_.Timer1_Timer();
        if (host_.facts().server_unreachable) return false;
        settings_lines();
        return true;
      case Next::NewFolders:
        form_.Timer2_Timer();
        due_folders();
        return true;
      case Next::InstallList:
        form_.Timer3_Timer();
        due_files("install");
        return true;
      case Next::UpdateList:
        form_.Timer4_Timer();
        due_files("update");
        return true;
      case Next::FolderPanel:
        make_folders();
        return true;
      case Next::InstallPanel:
        download("install", 1);
        return true;
      case Next::UpdatePanel:
        download("update", 2);
        return true;
      case Next::Finish:
        finish();
        return false;
      case Next::None:
        break;
    }
    return false;
  }

  void settings_lines() {
    const QOR_sync_MOD& mod = form_.shared().mod;
    log_.line("settings: FTP server " + mod.ftp_server + ", folder " + mod.ftp_folder + ", user " + mod.ftp_user);
    if (host_.facts().ftp_failed) {
      log_.line("ftp: the connection to " + mod.ftp_server + " failed");
    } else {
      log_.line("ftp: connected to " + mod.ftp_server + ", " + count_of(form_.List4.ListCount(), "entry", "entries") +
                " listed");
    }
  }

  void due_folders() {
    const int count = form_.List2.ListCount();
    log_.line("folders: " + (count == 0 ? std::string("none new") : count_of(count, "new folder", "new folders")));
    for (int i = 0; i < count; ++i) log_.line("due folder: " + form_.List2.List(i));
    if (count > 0 && options_.check) host_.facts().something_due = true;
  }

  void due_files(const char* list) {
    const int count = form_.List3.ListCount();
    log_.line(std::string(list) + ": " +
              (count == 0 ? std::string("nothing due") : count_of(count, "file due", "files due")));
    for (int i = 0; i < count; ++i) {
      const auto checked = form_.checked_records.find(form_.List3.ItemData(i));
      std::string file;
      if (checked != form_.checked_records.end() && !checked->second.fields.path.empty())
        file = checked->second.fields.path + "\\";
      file += form_.List3.List(i);
      log_.line(std::string("due for ") + list + ": " + display_path(file));
    }
    if (count > 0 && options_.check) host_.facts().something_due = true;
  }

  void make_folders() {
    if (options_.check) {
      // What the folder button does once the folders are there.
      log_.line("folders: left for a real run");
      form_.Picture1(0).Visible = false;
      form_.Timer3.Enabled = true;
      return;
    }
    form_.Label3_Click(0);
    for (int i = 0; i < form_.List2.ListCount(); ++i) {
      const std::string folder = form_.List2.List(i);
      if (form_.file_system->FolderExists(form_.program_folder + folder)) {
        log_.line("folder made: " + folder);
      } else {
        ++host_.facts().files_failed;
        log_.line("folder failed: " + folder);
      }
    }
  }

  void download(const char* list, int button) {
    if (options_.check) {
      log_.line(std::string(list) + ": left for a real run");
      // What the panel's button leaves behind once its run is over.
      if (button == 1) {
        form_.Timer4.Enabled = true;
      } else {
        form_.Picture1(2).Visible = true;
        form_.Picture1(1).Visible = false;
      }
      return;
    }
    const int fetched = host_.fetched();
    const int failed = host_.facts().files_failed;
    form_.Label3_Click(button);
    log_.line(std::string(list) + ": " + count_of(host_.fetched() - fetched, "file fetched", "files fetched") + ", " +
              std::to_string(host_.facts().files_failed - failed) + " failed");
  }

  void finish() {
    if (options_.check) {
      log_.line("finish: left for a real run");
      return;
    }
    // The finish action tells what it could not do in a message.
    const int before = host_.messages();
    form_.Label3_Click(3);
    const int failures = host_.messages() - before;
    host_.facts().files_failed += failures;
    log_.line(failures == 0 ? "finish: done" : "finish: " + count_of(failures, "failure", "failures"));
  }

  QOR_sync_FRM& form_;
  UnattendedHost& host_;
  RunLog& log_;
  const UnattendedOptions& options_;
};

const char* meaning_of(int code) {
  switch (code) {
    case kExitDone:
      return "nothing due, or everything done";
    case kExitServerUnreachable:
      return "the update server did not answer";
    case kExitFtpFailed:
      return "the FTP connection failed";
    case kExitFilesFailed:
      return "some files failed, the rest was done";
    case kExitReleaseRefused:
      return "the signed release was refused";
    case kExitDue:
      return "something is due";
    default:
      return "";
  }
}

}  // namespace

void drive_unattended(QOR_sync_FRM& form, UnattendedHost& host, const UnattendedOptions& options) {
  UnattendedRun(form, host, options).run();
}

int run_unattended(const std::string& program_folder, const UnattendedOptions& options, RunLog& log,
                   const MakeFileSystem& make_file_system, const std::function<void(QOR_sync_FRM&)>& wire) {
  UnattendedHost host(log);
  FormServices services;
  services.host = &host;
  services.make_file_system = options.check ? unchanging(make_file_system) : make_file_system;
  services.executable_folder = program_folder;
  try {
    QOR_sync_FRM form(services);
    wire(form);
    drive_unattended(form, host, options);
    host.facts().release_refused = form.release_refused;
  } catch (const std::exception& error) {
    // What the window shows as an internal error ends this run.
    log.line(std::string("internal error: ") + error.what());
    log.line("result: exit 1 (internal error)");
    return 1;
  }
  const int code = exit_code(host.facts());
  log.line("result: exit " + std::to_string(code) + " (" + meaning_of(code) + ")");
  return code;
}

}  // namespace qor
