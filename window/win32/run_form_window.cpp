// The window on Win32: the program's folder and arguments from the system,
// the view of the control model, message boxes over the window and the
// message loop.
// The view first: it orders the model before <windows.h>.
#include "window/win32/form_view.hpp"

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/running_executable.hpp"
#include "platform/win32/wide_text.hpp"
#include "window/QOR_sync_FRM.hpp"
#include "window/form_toolkit.hpp"
#include "window/win32/host_binding.hpp"
#include "window/win32/parent_console.hpp"
#include "window/win32/win32_form_host.hpp"
#include "window/win32/win32_handles.hpp"

namespace qor {
namespace {

// The folder of the running executable, without a trailing separator.
std::string executable_folder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const auto separator = path.find_last_of(L"\\/");
  return win32::to_utf8(separator == std::wstring::npos ? std::wstring() : path.substr(0, separator));
}

// The arguments as the user typed them, in UTF-8: argv holds them only in
// the system's code page.
std::vector<std::string> program_arguments() {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 1; words != nullptr && i < count; ++i) out.push_back(win32::to_utf8(words[i]));
  if (words != nullptr) LocalFree(words);
  return out;
}

int message_loop(win32::FormView& view) {
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    if (view.tab_key(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int run_form_window(int /*argc*/, char** /*argv*/, const MakeFileSystem& make_file_system, const WireWindow& wire) {
  // The failure reasons reach the console the program was started from.
  win32::use_parent_console();
  // What an update of this very program set aside last time goes now.
  remove_set_aside_executable();
  const win32::OleApartment ole;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  win32::MessageBoxPresenter presenter;
  win32::Win32FormHost host(presenter);
  FormServices services;
  services.host = &host;
  services.make_file_system = make_file_system;
  services.executable_folder = executable_folder();
  QOR_sync_FRM form(services);
  if (!wire(form, program_arguments())) return 2;

  win32::FormView view(form);
  win32::bind_host(view, host, presenter);
  view.load_and_show();
  return message_loop(view);
}

}  // namespace qor
