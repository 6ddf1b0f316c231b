// Step doubles for tests of the window's own logic: each notes its name and
// does nothing else, so a test of which steps run, and in which order, does
// not depend on what the real steps do. A test that needs a step to move the
// window on says so with `then`, naming the controls it sets.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "window/steps.hpp"

namespace qor::test {

class StepRecorder {
 public:
  // Puts a recording double into every step of `steps`.
  explicit StepRecorder(Steps& steps);
  StepRecorder(const StepRecorder&) = delete;
  StepRecorder& operator=(const StepRecorder&) = delete;

  // The step's double notes its name, then runs `then`.
  void then(std::function<void()> Steps::*step, std::function<void()> effect);
  // How often the named step ran.
  int count(const std::string& name) const;

  std::vector<std::string> calls;
  // What the internet check answers.
  bool online = true;

 private:
  Steps& steps_;
};

}  // namespace qor::test
