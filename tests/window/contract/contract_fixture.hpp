// The window on the toolkit under test: the form with step doubles that
// only record, a host that records its message boxes, and the view over it,
// loaded and shown.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "portable/app_title.hpp"
#include "tests/support/files.hpp"
#include "tests/support/recording_host.hpp"
#include "tests/support/step_recorder.hpp"
#include "tests/window/contract/toolkit_glue.hpp"

namespace qor::test {

using Calls = std::vector<std::string>;

class ToolkitContract : public ::testing::Test {
 protected:
  ToolkitContract() {
    shared_variables() = SharedVariables{};
    view = std::make_unique<ToolkitView>(form);
  }
  ~ToolkitContract() override {
    view.reset();
    shared_variables() = SharedVariables{};
  }

  // The package panel in install mode, as list_install_packages leaves it.
  void show_package_panel() {
    form.Picture1(9).Visible = false;
    form.Picture3(2).Visible = false;
    form.Picture1(1).Visible = true;
    view->pump(100);
  }
  // Counts the calls of a control's handler, then runs it.
  static void count_calls(std::function<void()>& handler, int& counter) {
    handler = [original = handler, &counter] {
      ++counter;
      if (original) original();
    };
  }

  TempDir dir;
  RecordingHost host;
  QOR_sync_FRM form{{&host, make_local_file_system, dir.path()}};
  StepRecorder steps{form.steps};
  std::unique_ptr<ToolkitView> view;
};

}  // namespace qor::test
