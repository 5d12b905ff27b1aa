#include "library_lock.h"

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

using std::chrono::milliseconds;

// While one run holds the lock, every spelling of the library waits, other libraries do not;
// the holder replaces the library by rename while others wait, and none of them may go on
// with the library it replaced, or its edit would be lost.
TEST(LibraryLock, OneLockPerLibraryThatWaitingRunsGetWithTheNewLibrary) {
  ScratchFolder folder;
  const Text sep = kPathSeparator, library = folder.Path("sim") + sep + "scenery.cfg";
  for (const char* sub : {"sim", "other"}) {
    std::filesystem::create_directory(folder.Path(sub));
    WriteRaw(folder.Path(sub) + sep + "scenery.cfg", "old");
  }
  Text spelled = library;  // in capitals with forward slashes: the same file to Windows
  for (char& c : spelled) c = c == '\\' ? '/' : c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  std::string err;
  auto held = LockLibrary(library, milliseconds(0), &err);
  ASSERT_NE(held, nullptr) << err;
  EXPECT_FALSE(GrantedElsewhere(library, milliseconds(100)));
  EXPECT_FALSE(GrantedElsewhere(folder.Path("sim") + sep + ".." + sep + "sim" + sep + "scenery.cfg", {}));
  EXPECT_EQ(GrantedElsewhere(spelled, {}), kPathSeparator != Text("\\"));
  EXPECT_TRUE(GrantedElsewhere(folder.Path("other") + sep + "scenery.cfg", {}));

  std::vector<std::future<std::string>> waiting;
  for (int i = 0; i < 3; ++i) {
    waiting.push_back(std::async(std::launch::async, [&] {
      std::string wait_err;
      auto lock = LockLibrary(library, milliseconds(20000), &wait_err);
      return lock ? ReadRaw(library) : "no lock: " + wait_err;
    }));
  }
  std::this_thread::sleep_for(milliseconds(100));
  ASSERT_TRUE(WriteWholeFile(library, "new", &err)) << err;
  std::this_thread::sleep_for(milliseconds(100));
  held.reset();
  for (auto& w : waiting) EXPECT_EQ(w.get(), "new");
  EXPECT_TRUE(GrantedElsewhere(library, {}));
}

}  // namespace
