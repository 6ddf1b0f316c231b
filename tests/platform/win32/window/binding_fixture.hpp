// The Win32 binding on a real window (under Wine on Xvfb, or on Windows),
// for what only this toolkit has: a view over the model with step doubles,
// and what the screen shows read back as pixels. What both toolkits do is
// tested against each in tests/window/contract/.
#pragma once

#include "form_view.hpp"  // the model before <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app_title.hpp"
#include "recording_host.hpp"
#include "step_recorder.hpp"

namespace qor::test {

using Calls = std::vector<std::string>;

// Lets the window handle what is pending for `ms` milliseconds.
void pump(int ms = 60);
// Real pointer input at a point of the screen.
void move_to(POINT screen);
// The colour the screen shows there.
COLORREF screen_pixel(POINT screen);

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
