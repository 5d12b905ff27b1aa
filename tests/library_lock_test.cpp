#include "library_lock.h"

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

using std::chrono::milliseconds;

TEST(LibraryLock, SecondRunWaitsUntilTheFirstIsDone) {
  ScratchFolder folder;
  auto first = LockLibrary(folder.Path(), milliseconds(0));
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(GrantedElsewhere(folder.Path(), milliseconds(200)));

  // Released while the second run is waiting.
  auto second = std::async(std::launch::async, [&] {
    return LockLibrary(folder.Path(), milliseconds(20000)) != nullptr;
  });
  std::this_thread::sleep_for(milliseconds(100));
  first.reset();
  EXPECT_TRUE(second.get());
  EXPECT_TRUE(GrantedElsewhere(folder.Path(), milliseconds(0)));
}

TEST(LibraryLock, OneLockPerFolderHoweverItIsSpelled) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.Path("sim"));
  std::filesystem::create_directory(folder.Path("other"));
  const Text sim = folder.Path("sim");
  Text spelled = sim;  // in capitals with forward slashes: the same folder to Windows
  for (char& c : spelled) c = c == '\\' ? '/' : c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  struct Case {
    const char* name;
    Text path;
    bool blocked;
  };
  const Case cases[] = {
      {"same spelling", sim, true},
      {"trailing separator", sim + kPathSeparator, true},
      {"through the parent", sim + kPathSeparator + ".." + kPathSeparator + "sim", true},
      {"another folder", folder.Path("other"), false},
      {"the parent folder", folder.Path(), false},
#ifdef _WIN32
      {"letter case and slashes", spelled, true},
#endif
  };
  auto held = LockLibrary(sim, milliseconds(0));
  ASSERT_NE(held, nullptr);
  for (const auto& c : cases) {
    EXPECT_EQ(GrantedElsewhere(c.path, milliseconds(100)), !c.blocked) << c.name;
  }
}

TEST(LibraryLock, HoldsWhileTheLibraryIsReplaced) {
  ScratchFolder folder;
  Text library = folder.Path("scenery.cfg");
  WriteRaw(library, "[General]\r\n");
  auto held = LockLibrary(folder.Path(), milliseconds(0));
  ASSERT_NE(held, nullptr);
  ASSERT_TRUE(WriteWholeFile(library, "[General]\r\n[Area.001]\r\n"));
  std::filesystem::rename(library, folder.Path("renamed.cfg"));
  WriteRaw(library, "fresh");
  EXPECT_FALSE(GrantedElsewhere(folder.Path(), milliseconds(100)));
  held.reset();
  EXPECT_TRUE(GrantedElsewhere(folder.Path(), milliseconds(0)));
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"renamed.cfg", "scenery.cfg"}));
}

}  // namespace
