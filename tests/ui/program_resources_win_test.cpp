// ORVO-Support.exe as Windows sees the file: a 64-bit GUI-subsystem program
// whose version resource carries the product's strings and whose embedded
// application manifest asks for asInvoker, Common Controls 6, DPI awareness
// and long paths; linked statically, it imports only system DLLs.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::ui {
namespace {

const std::wstring& program() {
  static const std::wstring path = platform::wide_text(ORVO_SUPPORT_PROGRAM);
  return path;
}

std::string version_string(const std::vector<std::uint8_t>& info, const std::wstring& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
  if (VerQueryValueW(info.data(), query.c_str(), &value, &length) == FALSE || length == 0) return {};
  return platform::utf8_text(static_cast<const wchar_t*>(value));
}

TEST(ProgramResourcesWin, TheVersionResourceCarriesTheProductStrings) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program().c_str(), &ignored);
  ASSERT_GT(size, 0U);
  std::vector<std::uint8_t> info(size);
  ASSERT_NE(GetFileVersionInfoW(program().c_str(), 0, size, info.data()), FALSE);
  EXPECT_EQ(version_string(info, L"FileDescription"), "ORVO Support Launcher");
  EXPECT_EQ(version_string(info, L"ProductName"), "ORVO Support");
  EXPECT_EQ(version_string(info, L"OriginalFilename"), "ORVO-Support.exe");
  EXPECT_EQ(version_string(info, L"FileVersion"), "0.1.0");
  EXPECT_EQ(version_string(info, L"ProductVersion"), "0.1.0");
}

TEST(ProgramResourcesWin, TheEmbeddedManifestHasTheFourSettings) {
  HMODULE image = LoadLibraryExW(program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr) << "no manifest with ID 1";
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
  const std::string manifest(bytes, SizeofResource(image, found));
  FreeLibrary(image);
  for (const char* setting :
       {R"(level="asInvoker")", R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true"
        "</longPathAware>"}) {
    std::string flat;
    // Attribute runs may be wrapped over lines; compare with single blanks.
    for (const char c : manifest) {
      const char blank = (c == '\n' || c == '\r') ? ' ' : c;
      if (!(blank == ' ' && !flat.empty() && flat.back() == ' ')) flat.push_back(blank);
    }
    EXPECT_NE(flat.find(setting), std::string::npos) << setting;
  }
}

TEST(ProgramResourcesWin, ItIsA64BitGuiProgramImportingOnlySystemDlls) {
  const std::string image = test::read_file(ORVO_SUPPORT_PROGRAM);
  ASSERT_GT(image.size(), 0x40U);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  ASSERT_LT(static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64), image.size());
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
  ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
  EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);

  // No runtime DLL of the compiler's (libstdc++, libgcc, winpthread, the MSVC runtime).
  HMODULE loaded = LoadLibraryExW(program().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(loaded, nullptr);
  const auto* base = reinterpret_cast<const std::uint8_t*>(loaded);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY imports =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(imports.VirtualAddress, 0U);
  std::vector<std::string> dlls;
  for (const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    std::string name = reinterpret_cast<const char*>(base + entry->Name);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    dlls.push_back(name);
  }
  FreeLibrary(loaded);
  EXPECT_FALSE(dlls.empty());
  for (const std::string& dll : dlls) {
    SCOPED_TRACE(dll);
    EXPECT_EQ(dll.find("libstdc++"), std::string::npos);
    EXPECT_EQ(dll.find("libgcc"), std::string::npos);
    EXPECT_EQ(dll.find("winpthread"), std::string::npos);
    EXPECT_EQ(dll.find("msvcp"), std::string::npos);
    EXPECT_EQ(dll.find("vcruntime"), std::string::npos);
  }
}

}  // namespace
}  // namespace orvo::ui
