// The built QOR_sync_PRO.exe as a file: what a vendor ships must start on a
// bare Windows (only the system's own DLLs imported, the GUI subsystem, 64
// bits), carry its version, manifest, icon and pictures, and stay small.
// The program's path comes as the first argument.
#include <gtest/gtest.h>

#include "platform/win32/windows_api.hpp"
// After it: the version API is left out of the lean <windows.h>.
#include <winver.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

std::string program_path;  // set once by main, read by the tests

std::vector<unsigned char> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <class T>
const T* at(const std::vector<unsigned char>& image, std::size_t offset) {
  if (offset + sizeof(T) > image.size()) return nullptr;
  return reinterpret_cast<const T*>(image.data() + offset);
}

// The DLL names of the import directory, upper-cased.
std::set<std::string> imported_dlls(const std::vector<unsigned char>& image, const IMAGE_NT_HEADERS64& nt,
                                    std::size_t nt_offset) {
  const auto* sections = at<IMAGE_SECTION_HEADER>(
      image, nt_offset + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader);
  const auto file_offset = [&](DWORD rva) -> std::size_t {
    for (int i = 0; sections && i < nt.FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& s = sections[i];
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData)) {
        return rva - s.VirtualAddress + s.PointerToRawData;
      }
    }
    return image.size();
  };
  std::set<std::string> out;
  const DWORD imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (std::size_t entry = file_offset(imports);; entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto* descriptor = at<IMAGE_IMPORT_DESCRIPTOR>(image, entry);
    if (descriptor == nullptr || descriptor->Name == 0) break;
    const std::size_t name = file_offset(descriptor->Name);
    if (name >= image.size()) break;
    std::string dll(reinterpret_cast<const char*>(image.data() + name),
                    strnlen(reinterpret_cast<const char*>(image.data() + name), image.size() - name));
    std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::toupper(c); });
    out.insert(dll);
  }
  return out;
}

TEST(ProgramFile, ASmall64BitGuiProgramThatNeedsOnlySystemDlls) {
  const std::vector<unsigned char> image = read_file(program_path);
  ASSERT_FALSE(image.empty()) << program_path;
  EXPECT_LE(image.size(), 2u * 1024 * 1024);
  const auto* dos = at<IMAGE_DOS_HEADER>(image, 0);
  ASSERT_TRUE(dos != nullptr && dos->e_magic == IMAGE_DOS_SIGNATURE);
  const auto nt_offset = static_cast<std::size_t>(dos->e_lfanew);
  const auto* nt = at<IMAGE_NT_HEADERS64>(image, nt_offset);
  ASSERT_TRUE(nt != nullptr && nt->Signature == IMAGE_NT_SIGNATURE);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  // Stripped: no symbol table travels with it.
  EXPECT_EQ(nt->FileHeader.PointerToSymbolTable, 0u);

  const std::set<std::string> system{"ADVAPI32.DLL", "BCRYPT.DLL",  "COMCTL32.DLL", "GDI32.DLL",   "KERNEL32.DLL",
                                     "MSVCRT.DLL",   "OLE32.DLL",   "OLEAUT32.DLL", "SHELL32.DLL", "SHLWAPI.DLL",
                                     "USER32.DLL",   "VERSION.DLL", "WININET.DLL"};
  const std::set<std::string> imports = imported_dlls(image, *nt, nt_offset);
  EXPECT_FALSE(imports.empty());
  for (const std::string& dll : imports) EXPECT_TRUE(system.count(dll)) << dll << " is not a DLL of the system";
}

class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring path(program_path.begin(), program_path.end());
    module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << program_path;
  }
  void TearDown() override {
    if (module != nullptr) FreeLibrary(module);
  }
  std::string resource(LPCWSTR name, LPCWSTR type) const {
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr) return {};
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
  }
  HMODULE module = nullptr;
};

TEST_F(Resources, TheProjectsVersion) {
  const std::wstring path(program_path.begin(), program_path.end());
  DWORD ignored = 0;
  std::vector<char> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  const std::string version =
      std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
      std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(version, QOR_PROJECT_VERSION);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(Resources, AManifestForCommonControls6SystemDpiAndTheUsersRights) {
  const std::string manifest = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
}

TEST_F(Resources, AnIconFrom16To256PixelsAndTheWindowsPictures) {
  const std::string group = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
  ASSERT_GE(group.size(), 6u);
  std::set<int> sizes;
  const auto count = static_cast<unsigned char>(group[4]);
  for (std::size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) {
    const auto width = static_cast<unsigned char>(group[6 + 14 * i]);
    sizes.insert(width == 0 ? 256 : width);  // 0 stands for 256
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48, 256}));
  for (const wchar_t* picture : {L"logo", L"lang_de_p", L"lang_en_p", L"lang_de_a", L"lang_en_a"}) {
    EXPECT_FALSE(resource(picture, MAKEINTRESOURCEW(10) /* RT_RCDATA */).empty()) << "no picture resource";
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: program_file_tests PATH_OF_QOR_sync_PRO.exe\n");
    return 2;
  }
  program_path = argv[1];
  return RUN_ALL_TESTS();
}
