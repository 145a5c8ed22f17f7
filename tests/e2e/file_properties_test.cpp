// What Windows shows of the built halvik.exe: the version resource from the project version, and
// the manifest that makes it run with the rights of whoever starts it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_support.h"
#include "platform/win32/unique_handle.h"

namespace halvik::e2e {
namespace {

// The version resource's strings for U.S. English, Unicode (see packaging/halvik.rc.in).
constexpr wchar_t StringTable[] = L"\\StringFileInfo\\040904B0\\";

class VersionResource {
 public:
  explicit VersionResource(const std::wstring& path) {
    DWORD ignored = 0;
    data_.resize(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (data_.empty() ||
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data_.size()), data_.data())) {
      data_.clear();
    }
  }

  bool present() const { return !data_.empty(); }

  std::wstring text(const wchar_t* name) const {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = StringTable + std::wstring(name);
    if (!VerQueryValueW(data_.data(), query.c_str(), &value, &length) || length == 0) return L"";
    return static_cast<const wchar_t*>(value);
  }

  // The numeric file version, as major.minor.patch.
  std::wstring fileVersion() const {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data_.data(), L"\\", &value, &length)) return L"";
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(fixed->dwFileVersionLS));
  }

 private:
  std::vector<BYTE> data_;
};

using UniqueModule = win32::UniqueAnyHandleNull<HMODULE, ::FreeLibrary>;

// The manifest Windows reads when it starts the program, or empty when there is none.
std::string manifest(const std::wstring& path) {
  const UniqueModule image(LoadLibraryExW(
      path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  const HRSRC found =
      image ? FindResourceW(image.get(), MAKEINTRESOURCEW(1), RT_MANIFEST) : nullptr;
  const HGLOBAL loaded = found ? LoadResource(image.get(), found) : nullptr;
  if (!loaded) return "";
  return std::string(static_cast<const char*>(LockResource(loaded)),
                     SizeofResource(image.get(), found));
}

TEST(FileProperties, VersionResourceNamesTheProjectVersion) {
  const VersionResource version(binaryPath(L"halvik.exe"));
  ASSERT_TRUE(version.present()) << "halvik.exe has no version resource";
  const std::wstring projectVersion = L"" HALVIK_VERSION;
  EXPECT_EQ(version.fileVersion(), projectVersion);
  EXPECT_EQ(version.text(L"FileVersion"), projectVersion);
  EXPECT_EQ(version.text(L"ProductVersion"), projectVersion);
  EXPECT_EQ(version.text(L"ProductName"), L"Halvik");
  EXPECT_EQ(version.text(L"OriginalFilename"), L"halvik.exe");
  EXPECT_NE(version.text(L"FileDescription"), L"");
}

TEST(FileProperties, ManifestRunsItAsInvokerOnWindows7To11) {
  const std::string text = manifest(binaryPath(L"halvik.exe"));
  ASSERT_NE(text, "") << "halvik.exe has no application manifest";
  EXPECT_NE(text.find(R"(level="asInvoker" uiAccess="false")"), std::string::npos);
  for (const char* supportedOs : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",     // Windows 7
                                  "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {  // Windows 10, 11
    EXPECT_NE(text.find(supportedOs), std::string::npos) << supportedOs;
  }
}

}  // namespace
}  // namespace halvik::e2e
