// An owned WinINet handle (session, connection, request, FTP file or find),
// closed when it goes out of scope.
#pragma once

#include <memory>
#include <type_traits>

#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using UniqueInternet = std::unique_ptr<std::remove_pointer_t<HINTERNET>, InternetCloser>;

}  // namespace qor::win32
