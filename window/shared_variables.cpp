#include "window/shared_variables.hpp"

namespace qor {

SharedVariables& shared_variables() {
  static SharedVariables instance;
  return instance;
}

}  // namespace qor
