#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files.h"
#include "support_fixtures.h"

namespace {

mode_t ModeOf(const Text& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

// A replaced file keeps its permission bits; a new one follows the umask.
TEST(WriteWholeFilePosix, KeepsThePermissionBitsOfTheTargetOrFollowsTheUmask) {
  ScratchFolder folder;
  const Text path = folder.Path("scenery.cfg");
  std::string err;
  for (mode_t mode : {0600, 0640, 0664, 0755, 0200}) {
    WriteRaw(path, "old");
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    EXPECT_TRUE(WriteWholeFile(path, "new", &err)) << std::oct << mode << err;
    EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
  }
  const mode_t previous = umask(027);
  bool created = false;
  EXPECT_TRUE(WriteNewFile(folder.Path("scenery_beforeinstall.cfg"), "copy", &created, &err));
  umask(previous);
  EXPECT_EQ(ModeOf(folder.Path("scenery_beforeinstall.cfg")), 0640);
}

TEST(WriteWholeFilePosix, ReplacesTheLinkedFileAndKeepsTheLink) {
  // What sim/scenery.cfg points to, and the file that is, from the scratch folder.
  struct Case { const char* link_text; const char* linked_file; };
  for (const Case& c : {Case{"real.cfg", "sim/real.cfg"}, Case{"../store/real.cfg", "store/real.cfg"},
                        Case{"hop.cfg", "sim/real.cfg"}}) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.Path("sim"));
    std::filesystem::create_directory(folder.Path("store"));
    WriteRaw(folder.Path(c.linked_file), "old");
    ASSERT_EQ(symlink("real.cfg", folder.Path("sim/hop.cfg").c_str()), 0);
    const Text link = folder.Path("sim/scenery.cfg");
    ASSERT_EQ(symlink(c.link_text, link.c_str()), 0);
    std::string err;
    ASSERT_TRUE(WriteWholeFile(link, "new", &err)) << c.link_text << err;
    EXPECT_EQ(std::filesystem::read_symlink(link), c.link_text);
    EXPECT_EQ(ReadRaw(folder.Path(c.linked_file)), "new") << c.link_text;
    for (const char* sub : {"sim", "store"})
      for (auto& entry : std::filesystem::directory_iterator(folder.Path(sub)))
        EXPECT_EQ(entry.path().extension(), ".cfg") << c.link_text << ": " << entry.path();
  }
}

}  // namespace
