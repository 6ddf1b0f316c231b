// The one window of the program: its control set, its event handlers and its
// own procedures. Plain C++ over the control model; a window toolkit draws it.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "platform/file_system.hpp"
#include "window/checked_fields.hpp"
#include "window/controls.hpp"
#include "window/form_host.hpp"
#include "window/shared_variables.hpp"
#include "window/signed_answers.hpp"
#include "window/steps.hpp"

namespace qor {

// The window itself as a control: caption, background and sizes in twips.
class FormWindow : public Control {
 public:
  FormWindow() : Control(ControlType::Form, "QOR_sync_FRM", -1) {}
  Prop<std::string> Caption{*this, Aspect::Caption, "Form1"};
  Prop<Colour> BackColor{*this, Aspect::BackColor, 0x00FFFFFF};
  // Client area; the view reports the real one before each layout pass.
  float ScaleWidth = 8325;
  float ScaleHeight = 7935;
  // `Width` (inherited) is the outer width, borders included.

  // Takes the sizes the view measured, in twips; true when a layout pass is
  // due: at the first call and when a size changed (toolkits report one size
  // more than once).
  bool take_sizes(float scale_width, float scale_height, float outer_width);

 private:
  bool sized_ = false;
};

// Creates the file-system object at load, for the program's folder; the
// program passes the platform's own, tests a double or a real one of theirs.
using MakeFileSystem = std::function<std::unique_ptr<FileSystem>(const std::string& program_folder)>;

struct FormServices {
  FormHost* host = nullptr;
  MakeFileSystem make_file_system;
  // The folder of the running program's executable, without a trailing separator.
  std::string executable_folder;
};

class QOR_sync_FRM {
 public:
  explicit QOR_sync_FRM(FormServices services);
  QOR_sync_FRM(const QOR_sync_FRM&) = delete;
  QOR_sync_FRM& operator=(const QOR_sync_FRM&) = delete;

  // --- controls, with their design values (control_set.cpp) ---
  FormWindow Form;
  ControlArray<PictureBox> Picture1{"Picture1", {0, 1, 2, 9, 10}};
  ControlArray<PictureBox> Picture3{"Picture3", {0, 1, 2, 3}};
  PictureBox Picture2{"Picture2"};
  PictureBox Picture30{"Picture30"};
  ControlArray<Label> Label1{"Label1", {0, 1, 2, 3}};
  ControlArray<Label> Label3{"Label3", {0, 1, 2, 3}};
  ControlArray<Label> Label6{"Label6", {0, 1, 2, 3, 4}};
  ControlArray<Label> Label7{"Label7", {5, 6, 7}};
  ControlArray<Image> Image1{"Image1", {0, 1}};
  ControlArray<Image> Image3{"Image3", {0, 1}};
  ControlArray<Image> Image4{"Image4", {0, 1}};
  Image Image2{"Image2"};
  Image Image100{"Image100"};
  ListBox List1{"List1"};
  ListBox List2{"List2"};
  ListBox List3{"List3"};
  ListBox List4{"List4"};
  CommandButton Command1{"Command1"};
  CommandButton Command3{"Command3"};
  CommandButton Command4{"Command4"};
  Timer Timer1{"Timer1"};
  Timer Timer2{"Timer2"};
  Timer Timer3{"Timer3"};
  Timer Timer4{"Timer4"};

  // --- members of the window ---
  std::string program_folder;
  std::unique_ptr<FileSystem> file_system;
  std::int16_t package_mode = 0;
  // What the version check used and saw for each record it put into List3,
  // by the record's row in List1 (the item's ItemData). The list steps clear
  // it with the lists.
  std::unordered_map<std::int32_t, CheckedRecord> checked_records;
  // A client built with the vendor's key refused this run's release (bad
  // or missing signature, unreadable manifest, an older release): nothing
  // is installed or updated. An unattended run reads it at the end.
  bool release_refused = false;
  // Set by a client built with the vendor's key: the answers as the signed
  // release vouches for them. Unset, the answers are used as they come.
  VouchAnswer vouch_answer;
  Image* hover_image = nullptr;
  Label* hover_label = nullptr;

  // The step procedures of the other subsystems, called by name.
  Steps steps;
  FormHost& host() { return *services_.host; }
  SharedVariables& shared() { return shared_variables(); }

  // --- event handlers (step_flow.cpp, pointer_feedback.cpp, layout.cpp) ---
  void Form_Load();
  void Form_Resize();
  void Image1_Click(int Index);
  void Label3_Click(int Index);
  void Picture3_Click(int Index);
  void Command1_Click();
  void Command3_Click();
  void Command4_Click();
  void List3_Click();
  void Image1_MouseMove(int Index);
  void Label3_MouseMove(int Index);
  void Picture3_MouseMove(int Index);
  void Picture1_MouseMove(int Index);
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();
  void Timer4_Timer();

  // --- procedures of the window ---
  void create_missing_folders();
  void apply_colours();
  void layout_pass() { Form_Resize(); }

  // True while a download run yields to the event loop; a second run is not
  // started meanwhile.
  bool download_in_progress() const { return download_in_progress_; }
  void run_download_packages();

  // Every control, for views that build widgets and for tests that walk them.
  template <class F>
  void for_each_control(F&& f);

 private:
  void build_control_set();
  void connect_events();
  // Runs a step; a step the user gave up ends here and the chain stops.
  // Nothing runs once the window is closed.
  void run_step(const std::function<void()>& step);

  FormServices services_;
  bool download_in_progress_ = false;
  bool folder_step_running_ = false;
  bool language_choice_in_progress_ = false;
};

template <class F>
void QOR_sync_FRM::for_each_control(F&& f) {
  f(static_cast<Control&>(Form));
  Picture1.for_each(f);
  Picture3.for_each(f);
  f(static_cast<Control&>(Picture2));
  f(static_cast<Control&>(Picture30));
  Label1.for_each(f);
  Label3.for_each(f);
  Label6.for_each(f);
  Label7.for_each(f);
  Image1.for_each(f);
  Image3.for_each(f);
  Image4.for_each(f);
  f(static_cast<Control&>(Image2));
  f(static_cast<Control&>(Image100));
  f(static_cast<Control&>(List1));
  f(static_cast<Control&>(List2));
  f(static_cast<Control&>(List3));
  f(static_cast<Control&>(List4));
  f(static_cast<Control&>(Command1));
  f(static_cast<Control&>(Command3));
  f(static_cast<Control&>(Command4));
  f(static_cast<Control&>(Timer1));
  f(static_cast<Control&>(Timer2));
  f(static_cast<Control&>(Timer3));
  f(static_cast<Control&>(Timer4));
}

}  // namespace qor
