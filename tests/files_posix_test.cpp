#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

TEST(WriteWholeFilePosix, KeepsThePermissionBitsOfTheTargetOrFollowsTheUmask) {
  for (mode_t mode : {0600, 0640, 0664, 0755, 0200}) {
    ScratchFolder folder;
    Text path = folder.Path("scenery.cfg");
    WriteRaw(path, "old");
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    std::string err;
    EXPECT_TRUE(WriteWholeFile(path, "new", &err)) << std::oct << mode << err;
    EXPECT_EQ(ModeOf(path), mode) << std::oct << mode;
    EXPECT_EQ(ReadRaw(path), "new");
  }
  // A new file follows the umask.
  ScratchFolder folder;
  mode_t previous = umask(027);
  bool created = false;
  std::string err;
  bool written = WriteNewFile(folder.Path("scenery_beforeinstall.cfg"), "copy", &created, &err);
  umask(previous);
  ASSERT_TRUE(written);
  EXPECT_EQ(ModeOf(folder.Path("scenery_beforeinstall.cfg")), 0640);
}

TEST(WriteWholeFilePosix, ReplacesTheLinkedFileAndKeepsTheLink) {
  // What scenery.cfg in the simulator folder points to, and the file that is, relative to the
  // scratch folder.
  struct Case { const char* name; const char* link_text; const char* linked_file; };
  const Case cases[] = {
      {"relative link", "real.cfg", "sim/real.cfg"},
      {"link into another folder", "../store/real.cfg", "store/real.cfg"},
      {"link to a link", "hop.cfg", "sim/real.cfg"},
  };
  for (const auto& c : cases) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.Path("sim"));
    std::filesystem::create_directory(folder.Path("store"));
    WriteRaw(folder.Path(c.linked_file), "old");
    ASSERT_EQ(symlink("real.cfg", folder.Path("sim/hop.cfg").c_str()), 0);
    Text link = folder.Path("sim/scenery.cfg");
    ASSERT_EQ(symlink(c.link_text, link.c_str()), 0);

    std::string err;
    ASSERT_TRUE(WriteWholeFile(link, "new", &err)) << c.name << err;
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << c.name;
    EXPECT_EQ(std::filesystem::read_symlink(link), c.link_text) << c.name;
    EXPECT_EQ(ReadRaw(folder.Path(c.linked_file)), "new") << c.name;
    for (const char* sub : {"sim", "store"}) {
      for (auto& entry : std::filesystem::directory_iterator(folder.Path(sub))) {
        EXPECT_EQ(entry.path().extension(), ".cfg") << c.name << ": " << entry.path();
      }
    }
  }
}

// The medium fills up halfway: the child may write only a few bytes to any file.
TEST(WriteWholeFilePosix, FailureMidwayLeavesTheOldFileAndNoTemporary) {
  ScratchFolder folder;
  Text path = folder.Path("scenery.cfg");
  const std::string old_content = "[General]\r\nTitle=Old\r\n" + std::string(5000, 'o');
  WriteRaw(path, old_content);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string err;
    _exit(WriteWholeFile(path, std::string(10000, 'n'), &err) || err.empty() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
  EXPECT_EQ(ReadRaw(path), old_content);
  EXPECT_EQ(folder.Names(), std::set<std::string>{"scenery.cfg"});
}

TEST(ReadWholeFilePosix, DevicesNeitherBlockNorRunForEver) {
  ScratchFolder folder;
  Text fifo = folder.Path("scenery.cfg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Text endless = folder.Path("zero.cfg");
  ASSERT_EQ(symlink("/dev/zero", endless.c_str()), 0);
  RecordingTerminal terminal;
  Text content;
  std::string err;
  EXPECT_EQ(ReadWholeFile(fifo, false, terminal, 1 << 20, &content, &err), kCannotMeasure);
  EXPECT_EQ(terminal.shown, "Error opening file: " + fifo + "   Errorcode=3\r\n<key>");
  EXPECT_EQ(ReadWholeFile(endless, false, terminal, 1 << 20, &content, &err), kTooLarge);
  EXPECT_EQ(content, "");
}

}  // namespace
