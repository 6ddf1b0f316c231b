// The transfer suites on Windows, against the WinINet implementation, under
// Wine on this machine: WinINet takes its proxy from the current user's
// internet settings.
#include <stdexcept>
#include <vector>

#include "tests/platform/contract/transfer_platform.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include <windows.h>

namespace qor::test {

Implementation implementation() { return Implementation::wininet; }
bool under_wine() { return running_under_wine(); }
bool names_are_bytes() { return false; }

namespace {

constexpr const wchar_t* kSettings = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

struct SavedValue {
  std::wstring name;
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> bytes;
};

}  // namespace

struct SystemProxy::Saved {
  HKEY key = nullptr;
  std::vector<SavedValue> values;
  SavedValue read(const wchar_t* name) const {
    SavedValue value;
    value.name = name;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.bytes.resize(size);
    value.present = RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size) == ERROR_SUCCESS;
    value.bytes.resize(size);
    return value;
  }
};

SystemProxy::SystemProxy(const std::string& address) : saved_(std::make_unique<Saved>()) {
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &saved_->key,
                      nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("the internet settings cannot be opened");
  for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer", L"ProxyOverride"})
    saved_->values.push_back(saved_->read(name));
  const DWORD enable = 1;
  const std::wstring value(address.begin(), address.end());
  RegSetValueExW(saved_->key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
  RegSetValueExW(saved_->key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegDeleteValueW(saved_->key, L"ProxyOverride");
}

SystemProxy::~SystemProxy() {
  for (const SavedValue& value : saved_->values) {
    if (value.present)
      RegSetValueExW(saved_->key, value.name.c_str(), 0, value.type, value.bytes.data(),
                     static_cast<DWORD>(value.bytes.size()));
    else
      RegDeleteValueW(saved_->key, value.name.c_str());
  }
  RegCloseKey(saved_->key);
}

}  // namespace qor::test
