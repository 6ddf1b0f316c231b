// The Win32 binding on a real window (under Wine on Xvfb, or on Windows):
// a view over the model with step doubles, real input through SendInput,
// and what the screen shows read back as pixels.
#pragma once

#include "window/win32/form_view.hpp"  // the model before <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "portable/app_title.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/step_recorder.hpp"

namespace qor::test {

using Calls = std::vector<std::string>;

// Lets the window handle what is pending for `ms` milliseconds.
void pump(int ms = 60);
// Real pointer input at a point of the screen.
void move_to(POINT screen);
void press(POINT screen);
void release(POINT screen);
void click(POINT screen);
// The colour the screen shows there.
COLORREF screen_pixel(POINT screen);
// Pixels inside `box` (screen coordinates) that are far from `background`.
int ink_pixels(const RECT& box, COLORREF background);

// Runs a handler wrapped so that its calls are counted.
void count_calls(std::function<void()>& handler, int& counter);

class Binding : public ::testing::Test {
 protected:
  Binding();
  ~Binding() override;

  // A point of a control on the screen: its centre, or `local` inside it.
  POINT at(const Control& control, POINT local = {-1, -1}) const;
  // A control's place on the screen.
  RECT screen_area(const Control& control) const;
  // The package panel in install mode, as list_install_packages leaves it.
  void show_package_panel();

  RecordingHost host;
  QOR_sync_FRM form{{&host, [](const std::string&) { return std::unique_ptr<FileSystem>(); }, "C:\\qor"}};
  StepRecorder steps{form.steps};
  std::unique_ptr<win32::FormView> view;
};

}  // namespace qor::test
