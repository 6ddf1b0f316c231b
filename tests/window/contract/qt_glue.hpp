// Beyond the contract, for the tests of what only the Qt toolkit has: the
// view under a ToolkitView.
#pragma once

#include "tests/window/contract/toolkit_glue.hpp"
#include "window/qt/form_view.hpp"

namespace qor::test {

qt::FormView& native(ToolkitView& view);

}  // namespace qor::test
