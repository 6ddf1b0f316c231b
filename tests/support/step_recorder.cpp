#include "tests/support/step_recorder.hpp"

#include <algorithm>
#include <utility>

namespace qor::test {
namespace {

struct NamedStep {
  const char* name;
  std::function<void()> Steps::*step;
};

constexpr NamedStep kSteps[] = {
    {"load_captions", &Steps::load_captions},
    {"load_transfer_settings", &Steps::load_transfer_settings},
    {"connect_ftp", &Steps::connect_ftp},
    {"list_new_packages", &Steps::list_new_packages},
    {"list_install_packages", &Steps::list_install_packages},
    {"list_update_packages", &Steps::list_update_packages},
    {"check_package_due", &Steps::check_package_due},
    {"download_packages", &Steps::download_packages},
    {"finish", &Steps::finish},
};

}  // namespace

StepRecorder::StepRecorder(Steps& steps) : steps_(steps) {
  steps_.check_internet = [this] {
    calls.emplace_back("check_internet");
    return online;
  };
  for (const NamedStep& s : kSteps) then(s.step, {});
}

void StepRecorder::then(std::function<void()> Steps::*step, std::function<void()> effect) {
  const auto named =
      std::find_if(std::begin(kSteps), std::end(kSteps), [step](const NamedStep& s) { return s.step == step; });
  steps_.*step = [this, name = std::string(named->name), effect = std::move(effect)] {
    calls.push_back(name);
    if (effect) effect();
  };
}

int StepRecorder::count(const std::string& name) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), name));
}

}  // namespace qor::test
