// Draws a QOR_sync_FRM with Win32 windows and delivers its events: one
// child window per picture box, list box and command button; labels and
// images drawn on their container's surface beneath its child windows; one
// system timer per model timer. Observes the model and redraws only what
// changed. The model must outlive the view.
#pragma once

// The model first: its find-data names are macros once <windows.h> is in.
#include "window/QOR_sync_FRM.hpp"

#include "platform/win32/windows_api.hpp"

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "window/win32/click_tracker.hpp"
#include "window/win32/control_state.hpp"
#include "window/win32/font_cache.hpp"
#include "window/win32/handler_guard.hpp"
#include "window/win32/pictures.hpp"
#include "window/win32/screen_units.hpp"
#include "window/win32/win32_handles.hpp"

namespace qor::win32 {

class FormView : public ControlObserver {
 public:
  // Creates every window, hidden, at the screen's DPI.
  explicit FormView(QOR_sync_FRM& form);
  FormView(QOR_sync_FRM& form, ScreenUnits units);
  FormView(const FormView&) = delete;
  FormView& operator=(const FormView&) = delete;
  ~FormView() override;

  // Runs Form_Load once, lays the controls out for the real client area,
  // centres the window on the screen's work area and shows it.
  void load_and_show();

  // The top-level window; null once it was destroyed.
  HWND window() const { return form_window_.get(); }
  // The hidden window that owns it and keeps it out of the taskbar.
  HWND owner() const { return owner_window_.get(); }
  // The control's own window; null for labels, images, timers and the window itself.
  HWND handle(const Control& control) const;
  // Where a control is drawn, in the client coordinates of its container.
  RECT area(const Control& control) const;
  bool timer_running(const Timer& timer) const;
  const ScreenUnits& units() const { return units_; }

  // An error that escaped an event handler; the default shows it in a
  // message box of the window's host.
  void set_error_handler(std::function<void(const std::string&)> handler) { guard_.on_error = std::move(handler); }
  // Called once when the window is gone (closed or unloaded).
  std::function<void()> on_closed;

  // Moves the keyboard focus on Tab (Shift+Tab: backwards) through the
  // shown list boxes and buttons in TabIndex order; true when the message
  // was that key and is done with. The message loops ask it first.
  bool tab_key(const MSG& message);

  void changed(Control& control, Aspect aspect) override;
  // The window procedure of the window and the picture boxes.
  LRESULT on_message(ControlState& state, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  struct TimerSlot {
    UINT_PTR id = 0;
    bool running = false;
  };

  ControlState& add_state(Control& control, HWND container);
  void create_form_windows();
  void build(Control& control, HWND parent);
  void restack(const Control& container);
  void apply(Control& control, Aspect aspect);
  void apply_all(Control& control);
  void draw_geometry(ControlState& state);
  void draw_colour(ControlState& state, Aspect aspect);
  void draw_items(ControlState& state);
  void repaint_windowless(ControlState& state);
  void set_timer(Timer& timer);
  void stop_timers();
  void tick(UINT_PTR id);
  void layout_pass();
  void window_gone();

  // The container's surface (surface.cpp).
  void paint_surface(ControlState& state, HDC target, const RECT& dirty);
  void draw_windowless(const ControlState& child, HDC dc);
  Control* hit_test(const ControlState& container, POINT client) const;
  void mouse_move(ControlState& container, HWND hwnd, POINT client);
  void mouse_press(ControlState& container, HWND hwnd, POINT client);
  void mouse_release(ControlState& container, HWND hwnd, POINT client);
  void child_command(WORD id, WORD code);
  LRESULT list_colours(HDC dc, HWND list);

  const ControlState* state_of(const Control& control) const;
  ControlState* state_of(const Control& control);

  QOR_sync_FRM& form_;
  ScreenUnits units_;
  HandlerGuard guard_;
  ClickTracker clicks_;
  // Fonts, pictures and states outlive the windows that use them: they are
  // declared first, so they go last.
  FontCache fonts_;
  PictureCache pictures_;
  std::map<const Control*, std::unique_ptr<ControlState>> states_;
  std::map<int, Control*> by_id_;
  std::map<const Timer*, TimerSlot> timers_;
  UniqueWindow owner_window_;
  UniqueWindow form_window_;
  bool loaded_ = false;
};

}  // namespace qor::win32
