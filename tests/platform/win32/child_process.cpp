#include "tests/platform/win32/child_process.hpp"

#include <stdexcept>

#include "platform/win32/wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           bool without_standard_handles) {
  std::wstring command_line = L"\"" + win32::to_wide(program) + L"\"";
  for (const auto& argument : arguments) command_line += L" \"" + win32::to_wide(argument) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (without_standard_handles) startup.dwFlags = STARTF_USESTDHANDLES;  // and every handle null
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    throw std::runtime_error("cannot start " + program);
  const win32::UniqueHandle thread(started.hThread);
  process_ = started.hProcess;
}

ChildProcess::~ChildProcess() {
  end();
  CloseHandle(static_cast<HANDLE>(process_));
}

std::optional<unsigned long> ChildProcess::wait(std::chrono::milliseconds limit) {
  if (WaitForSingleObject(static_cast<HANDLE>(process_), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(static_cast<HANDLE>(process_), &code);
  return code;
}

void ChildProcess::end() {
  if (WaitForSingleObject(static_cast<HANDLE>(process_), 0) == WAIT_TIMEOUT) {
    TerminateProcess(static_cast<HANDLE>(process_), 1);
    WaitForSingleObject(static_cast<HANDLE>(process_), 10'000);
  }
}

}  // namespace qor::test
