// Standard error into a temporary file that goes when the capture ends. The
// descriptors share one file position, so reading puts it back.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <stdexcept>

#include "tests/support/stderr_capture.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::test {

StderrCapture::StderrCapture() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"err", 0, path) == 0)
    throw std::runtime_error("no file for standard error");
  file_ = _wopen(path, _O_RDWR | _O_BINARY | _O_TRUNC | _O_TEMPORARY);
  if (file_ < 0) throw std::runtime_error("no file for standard error");
  std::fflush(stderr);
  saved_ = _dup(_fileno(stderr));
  if (saved_ < 0 || _dup2(file_, _fileno(stderr)) < 0) throw std::runtime_error("standard error cannot be redirected");
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  _dup2(saved_, _fileno(stderr));
  _close(saved_);
  _close(file_);
}

std::string StderrCapture::text() const {
  std::fflush(stderr);
  const auto end = _lseeki64(file_, 0, SEEK_CUR);
  _lseeki64(file_, 0, SEEK_SET);
  std::string out;
  char chunk[4096];
  for (int n; (n = _read(file_, chunk, sizeof chunk)) > 0;) out.append(chunk, static_cast<std::size_t>(n));
  _lseeki64(file_, end, SEEK_SET);
  return out;
}

}  // namespace qor::test
