// The window toolkit under test as the contract suite sees it: a view of
// the form on a real window, real pointer input, what the window shows
// (read back as pixels), the toolkit's host with real message boxes. Each
// toolkit implements it in a source of its own; the suite names no toolkit.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "window/QOR_sync_FRM.hpp"

namespace qor::test {

// A point inside a control, from the top left corner of its drawn area
// (frame included); the default is its centre.
struct Spot {
  int x = -1;
  int y = -1;
};

// Where a control is drawn, in pixels, in the client coordinates of its container.
struct Area {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Area&, const Area&) = default;
};

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Area& a) {
  return out << '(' << a.left << ',' << a.top << ' ' << a.width << 'x' << a.height << ')';
}
inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "rgb(" << c.r << ',' << c.g << ',' << c.b << ')';
}

class ToolkitView {
 public:
  // Makes the view, runs Form_Load and shows the window; the pointer starts
  // outside it.
  explicit ToolkitView(QOR_sync_FRM& form);
  ToolkitView(const ToolkitView&) = delete;
  ToolkitView& operator=(const ToolkitView&) = delete;
  ~ToolkitView();

  // Lets the toolkit handle what is pending for `ms` milliseconds.
  void pump(int ms = 60);
  // Pumps until `done` holds or `ms` milliseconds have passed; whether it holds.
  bool pump_until(const std::function<bool()>& done, int ms);
  // The longest time between two presses that makes them a double click.
  static int double_click_time();
  // "Qt" or "Win32", for the cases that guard a difference between toolkits.
  static std::string toolkit();

  // The top-level window.
  std::string title() const;
  int client_width() const;
  int client_height() const;
  // Not resizable, and no minimize or maximize box.
  bool fixed_size() const;
  bool has_close_button() const;
  // False once the window is hidden or gone.
  bool window_shown() const;
  // Whether a close from its close button or the window manager would reach
  // the window now.
  bool takes_close() const;
  // As the window's close button or the window manager's close, now or
  // after `ms` milliseconds of the event loop.
  void close();
  void close_after(int ms);
  // Runs after what the toolkit's binding runs when the window is gone.
  void on_closed(std::function<void()> handler);
  // The view, which observes every control of the form.
  ControlObserver& observer();

  Area area(const Control& control) const;
  // The rest need a control with a native window or widget of its own.
  bool shown(const Control& control) const;
  bool sunken(const Control& control) const;
  // Among the native children of the control's container: 0 is the topmost.
  int stack_position(const Control& control) const;
  std::vector<std::string> list_items(const ListBox& list) const;
  int list_selection(const ListBox& list) const;
  // The middle of a list's row, inside the list.
  Spot list_row(const ListBox& list, int row) const;
  bool timer_running(const Timer& timer) const;

  // What the window shows. Ink: pixels of the control far from `background`,
  // in its rows [from_row, to_row) (all of them by default).
  Rgb pixel(const Control& control, Spot spot) const;
  int ink(const Control& control, Rgb background, int from_row = 0, int to_row = -1) const;

  // Real pointer input over a control.
  void move_to(const Control& control, Spot spot = {});
  void press(const Control& control, Spot spot = {});
  void release(const Control& control, Spot spot = {});
  void click(const Control& control, Spot spot = {});
  void double_click(const Control& control, Spot spot = {});
  // A key typed at the window (not at a box over it).
  void type_space();

  // What the glue of the toolkit holds: its view, for the toolkit's own
  // tests (qt_glue.hpp, win32_glue.hpp) and its host.
  struct Native;
  Native& native() { return *native_; }

 private:
  std::unique_ptr<Native> native_;
};

// The toolkit's host with its real message boxes, bound to a view as the
// program binds them.
class ToolkitHost {
 public:
  ToolkitHost();
  ToolkitHost(const ToolkitHost&) = delete;
  ToolkitHost& operator=(const ToolkitHost&) = delete;
  ~ToolkitHost();

  FormHost& host();
  void bind(ToolkitView& view);
  // The program's message loop was told to end (the window is gone).
  bool loop_told_to_end();

  struct Native;

 private:
  std::unique_ptr<Native> native_;
};

// A message box as it was shown; line breaks read as "\n".
struct SeenBox {
  bool seen = false;
  std::string title;
  std::string text;
  int buttons = 0;
};

// Answers the next message box from inside its modal loop: presses
// `button`, or closes the box by its close button when there is none.
void answer_next_box(SeenBox& seen, std::optional<MsgResult> button);

// While the next message box is up, runs `user` from inside its modal loop
// every 150 ms until it returns false; the box stays up until `user`
// answers it or closes the window.
class WhileABoxIsUp {
 public:
  explicit WhileABoxIsUp(std::function<bool()> user);
  WhileABoxIsUp(const WhileABoxIsUp&) = delete;
  WhileABoxIsUp& operator=(const WhileABoxIsUp&) = delete;
  ~WhileABoxIsUp();
};
// For use inside WhileABoxIsUp: whether a box is up, its text, moving it
// out of the window's way, answering it.
bool box_up();
std::string box_text();
void move_box_aside();
void answer_box(MsgResult button);

}  // namespace qor::test
