#include "window/win32/host_binding.hpp"

namespace qor::win32 {

void bind_host(FormView& view, Win32FormHost& host, MessageBoxPresenter& presenter) {
  presenter.set_owner(view.window());
  host.set_window(view.window());
  host.before_dispatch = [&view](const MSG& message) { return view.tab_key(message); };
  view.on_closed = [&host] {
    host.window_closed();
    PostQuitMessage(0);
  };
}

}  // namespace qor::win32
