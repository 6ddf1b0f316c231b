// Failures of WinINet calls: the error code and its words, and where the
// server said something (an FTP reply), the server's own last words.
#pragma once

#include <string>

#include "portable/result/result.hpp"

namespace qor::win32 {

// windows_failure, and where the error means the server said no (an
// extended error, a refused login) the server's reply as well.
Failure internet_failure(const std::string& what, unsigned long error);
// The same with the reply the failing call's thread read.
Failure internet_failure(const std::string& what, unsigned long error, const std::string& reply);

// The server's last reply on this thread (InternetGetLastResponseInfo),
// trimmed; empty when there was none.
std::string last_server_reply();

}  // namespace qor::win32
