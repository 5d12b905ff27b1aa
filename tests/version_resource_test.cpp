// Reads the resources of the built sceneryreg.exe back the way Windows and installers do.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "text.h"
#include "version.h"

namespace {

// The program as CMake built it. Wine takes the Unix path on the drive that maps the root.
const char kProgram[] = SCENERYREG_EXE;

TEST(VersionResource, NamesTheProductAndTheVersionThatVersionPrints) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(kProgram, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(kProgram, 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS,
            static_cast<DWORD>(MAKELONG(SCENERYREG_VERSION_MINOR, SCENERYREG_VERSION_MAJOR)));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, SCENERYREG_VERSION_PATCH)));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  const auto value = [&](const Text& name) {
    char* text = nullptr;
    UINT chars = 0;
    const Text key = "\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &chars))
      return Text("(missing)");
    return Text(text);
  };
  EXPECT_EQ(value("ProductName"), "sceneryreg");
  EXPECT_EQ(value("FileVersion"), SCENERYREG_VERSION_TEXT);
  EXPECT_EQ(value("ProductVersion"), SCENERYREG_VERSION_TEXT);
  EXPECT_EQ(value("OriginalFilename"), "sceneryreg.exe");
  EXPECT_NE(value("FileDescription"), "(missing)");
}

TEST(VersionResource, ManifestIsEmbeddedWellFormedAndAsksForNoElevation) {
  HMODULE image = LoadLibraryExA(kProgram, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const Text manifest(static_cast<const char*>(LockResource(LoadResource(image, found))),
                      SizeofResource(image, found));
  FreeLibrary(image);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), Text::npos);

  // Windows refuses to start a program whose manifest it cannot parse; this is the same parse.
  ACTCTXA context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = kProgram;
  context.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE handle = CreateActCtxA(&context);
  EXPECT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();
  if (handle != INVALID_HANDLE_VALUE)
    ReleaseActCtx(handle);
}

}  // namespace
