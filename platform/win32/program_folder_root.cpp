#include "platform/win32/program_folder_root.hpp"

#include <memory>
#include <string_view>

#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"
#include "platform/win32/windows_names.hpp"

namespace qor::win32 {
namespace {

// Characters no Windows name holds; '*' and '?' would make a look-up a
// search, so a name with them is refused rather than looked for.
bool impossible_name(std::string_view name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) return true;
  }
  return false;
}

std::string joined(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// Two paths alike as the file system compares names (letter case aside).
bool same_path(std::string_view a, std::string_view b) {
  const std::wstring wa = to_wide(a);
  const std::wstring wb = to_wide(b);
  return CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

LookedAt look_at(const std::string& folder, const std::string& name) {
  WIN32_FIND_DATAW found{};
  const std::unique_ptr<void, decltype(&FindClose)> find(FindFirstFileW(to_wide(joined(folder, name)).c_str(), &found),
                                                         &FindClose);
  if (find.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return {false, name, 0, error};
  }
  return {true, to_utf8(found.cFileName), found.dwFileAttributes, 0};
}

Result<UniqueHandle> hold_folder(const std::string& path) {
  UniqueHandle folder(CreateFileW(to_wide(path).c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
  if (!folder) {
    const DWORD error = GetLastError();
    return windows_failure("open folder " + path, error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(folder.get(), &info)) {
    const DWORD error = GetLastError();
    return windows_failure("look at folder " + path, error);
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return reparse_point_in_the_way(path);
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return Failure{"open folder " + path + ": not a folder", ERROR_DIRECTORY};
  return folder;
}

std::optional<std::string> final_path_of(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n =
        GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (n == 0) return std::nullopt;
    if (n < path.size()) {
      path.resize(n);
      std::string final = to_utf8(path);
      if (final.starts_with("\\\\?\\UNC\\")) {
        final = "\\\\" + final.substr(8);
      } else if (final.starts_with("\\\\?\\")) {
        final = final.substr(4);
      }
      for (char& c : final)
        if (c == '\\') c = '/';
      return final;
    }
    path.resize(n);
  }
  return std::nullopt;
}

Failure reparse_point_in_the_way(const std::string& path) {
  return Failure{path + ": a reparse point (junction or symbolic link) is in the way", kReparsePointInTheWay};
}

ProgramFolderRoot::ProgramFolderRoot(const std::string& program_folder) : path_(program_folder) {
  for (char& c : path_)
    if (c == '\\') c = '/';
  // "C:/" keeps its separator; any other folder loses a trailing one.
  while (path_.size() > 3 && path_.back() == '/') path_.pop_back();
  // The folder itself may be reached through a link: what lies below it is
  // compared with where it really is.
  const UniqueHandle folder(CreateFileW(to_wide(path_).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (folder) resolved_ = final_path_of(folder.get());
}

Status ProgramFolderRoot::check_is_at(HANDLE handle, const std::string& path) const {
  const auto relative = below(path);
  if (!resolved_ || !relative) return {};
  const auto final = final_path_of(handle);
  if (!final) return {};
  const std::string expected = relative->empty() ? *resolved_ : joined(*resolved_, *relative);
  if (same_path(*final, expected)) return {};
  return Failure{path + ": a link to " + *final + " is in the way", kReparsePointInTheWay};
}

Status ProgramFolderRoot::check_entry(const EntryBelow& entry) const {
  if (!entry.exists) return {};
  const UniqueHandle opened(CreateFileW(to_wide(entry.path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!opened) return {};  // gone meanwhile: what uses it next finds out
  return check_is_at(opened.get(), entry.path);
}

std::optional<std::string> ProgramFolderRoot::below(const std::string& local) const {
  if (path_.empty()) return std::nullopt;
  if (same_path(local, path_)) return std::string();
  const std::string prefix = path_.ends_with('/') ? path_ : path_ + "/";
  if (local.size() > prefix.size() && same_path(std::string_view(local).substr(0, prefix.size()), prefix))
    return local.substr(prefix.size());
  return std::nullopt;
}

Result<EntryBelow> ProgramFolderRoot::walk(const std::string& relative, bool hold) const {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start <= relative.size()) {
    auto slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    std::string part = relative.substr(start, slash - start);
    if (part == "..") return Failure{joined(path_, relative) + ": leaves the program folder", ERROR_ACCESS_DENIED};
    if (!part.empty() && part != ".") {
      if (impossible_name(part) || aliased_component(part))
        return Failure{joined(path_, relative) + ": Windows would not keep the name \"" + part + "\" as written",
                       ERROR_INVALID_NAME};
      parts.push_back(std::move(part));
    }
    start = slash + 1;
  }

  EntryBelow entry;
  entry.folder = path_;
  entry.path = path_;
  if (parts.empty()) {
    const DWORD attributes = GetFileAttributesW(to_wide(path_).c_str());
    entry.exists = attributes != INVALID_FILE_ATTRIBUTES;
    // The folder itself counts as what it leads to, link or not.
    entry.attributes = entry.exists ? attributes & ~DWORD{FILE_ATTRIBUTE_REPARSE_POINT} : 0;
    return entry;
  }
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    const LookedAt part = look_at(entry.path, parts[i]);
    const std::string path = joined(entry.path, part.name);
    if (!part.exists) {
      const DWORD error =
          part.error == ERROR_FILE_NOT_FOUND || part.error == ERROR_NO_MORE_FILES ? ERROR_PATH_NOT_FOUND : part.error;
      return windows_failure("open folder " + path, error);
    }
    if ((part.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return reparse_point_in_the_way(path);
    if ((part.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      return Failure{"open folder " + path + ": not a folder", ERROR_DIRECTORY};
    if (hold) {
      auto held = hold_folder(path);
      if (!held) return held.failure();
      if (Status here = check_is_at(held->get(), path); !here) return here.failure();
      entry.held.push_back(std::move(*held));
    }
    entry.path = path;
  }
  entry.folder = entry.path;
  const LookedAt last = look_at(entry.path, parts.back());
  if (!last.exists && last.error != ERROR_FILE_NOT_FOUND && last.error != ERROR_NO_MORE_FILES &&
      last.error != ERROR_PATH_NOT_FOUND)
    return windows_failure("look at " + joined(entry.path, parts.back()), last.error);
  entry.name = last.name;
  entry.exists = last.exists;
  entry.attributes = last.attributes;
  entry.path = joined(entry.path, entry.name);
  return entry;
}

}  // namespace qor::win32
