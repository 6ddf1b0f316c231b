// The Windows API as this layer uses it. Include it (and every header that
// includes it) after the project's own headers: <windows.h> defines macros
// (WIN32_FIND_DATA, FILE_ATTRIBUTE_*) whose names the platform interfaces
// declare in namespace qor, and find_data.hpp refuses to be read after it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// The wide-character API by default: every text crosses it as UTF-16.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
// Windows 7 and later (GetLocaleInfoEx, SHGetKnownFolderPath).
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif

#include <windows.h>

// The API families of this layer; each needs <windows.h> before it.
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>
