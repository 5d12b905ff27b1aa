#include "library_lock.h"

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

using std::chrono::milliseconds;

TEST(LibraryLock, SecondRunWaitsUntilTheFirstIsDone) {
  ScratchFolder folder;
  const Text library = folder.Path("scenery.cfg");
  WriteRaw(library, "[General]\r\n");
  std::string err;
  auto first = LockLibrary(library, milliseconds(0), &err);
  ASSERT_NE(first, nullptr) << err;
  EXPECT_FALSE(GrantedElsewhere(library, milliseconds(200)));

  // Released while the second run is waiting.
  auto second = std::async(std::launch::async,
                           [&] { return GrantedElsewhere(library, milliseconds(20000)); });
  std::this_thread::sleep_for(milliseconds(100));
  first.reset();
  EXPECT_TRUE(second.get());
  EXPECT_TRUE(GrantedElsewhere(library, milliseconds(0)));
}

TEST(LibraryLock, OneLockPerLibraryHoweverItIsSpelled) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.Path("sim"));
  std::filesystem::create_directory(folder.Path("other"));
  const Text sep = kPathSeparator;
  const Text library = folder.Path("sim") + sep + "scenery.cfg";
  WriteRaw(library, "[General]\r\n");
  WriteRaw(folder.Path("other") + sep + "scenery.cfg", "[General]\r\n");
  Text spelled = library;  // in capitals with forward slashes: the same file to Windows
  for (char& c : spelled) c = c == '\\' ? '/' : c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  struct Case {
    const char* name;
    Text path;
    bool blocked;
  };
  const Case cases[] = {
      {"same spelling", library, true},
      {"through the parent", folder.Path("sim") + sep + ".." + sep + "sim" + sep + "scenery.cfg",
       true},
      {"another library", folder.Path("other") + sep + "scenery.cfg", false},
#ifdef _WIN32
      {"letter case and slashes", spelled, true},
#endif
  };
  std::string err;
  auto held = LockLibrary(library, milliseconds(0), &err);
  ASSERT_NE(held, nullptr) << err;
  for (const auto& c : cases) {
    EXPECT_EQ(GrantedElsewhere(c.path, milliseconds(100)), !c.blocked) << c.name;
  }
}

// The holder replaces the library by rename while others wait: none of them may go on with
// the library it replaced, or its edit would be lost.
TEST(LibraryLock, WaitingRunsSeeTheLibraryTheHolderWrote) {
  ScratchFolder folder;
  const Text library = folder.Path("scenery.cfg");
  WriteRaw(library, "old");
  std::string err;
  auto held = LockLibrary(library, milliseconds(0), &err);
  ASSERT_NE(held, nullptr) << err;
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
}

}  // namespace
