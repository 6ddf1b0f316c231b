// Beyond the contract, for the tests of what only the Qt toolkit has: the
// view under a ToolkitView.
#pragma once

#include "window/qt/form_view.hpp"
#include "tests/window/contract/toolkit_glue.hpp"

namespace qor::test {

qt::FormView& native(ToolkitView& view);

}  // namespace qor::test
