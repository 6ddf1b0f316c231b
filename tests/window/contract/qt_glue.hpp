// Beyond the contract, for the tests of what only the Qt toolkit has: the
// view under a ToolkitView.
#pragma once

#include "form_view.hpp"
#include "toolkit_glue.hpp"

namespace qor::test {

qt::FormView& native(ToolkitView& view);

}  // namespace qor::test
