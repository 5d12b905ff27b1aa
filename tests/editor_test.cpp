#include "editor.h"

#include <gtest/gtest.h>
#include <fstream>

#include "files.h"
#include "library_lock.h"
#include "support_fixtures.h"

namespace {

namespace fs = std::filesystem;

// A simulator folder whose library holds text, and an empty product folder for "Alps".
struct Install {
  explicit Install(const Text& text) {
    fs::create_directory(scratch.Path("sim"));
    fs::create_directory(scratch.Path("alps"));
    WriteRaw(library, text);
  }
  ScratchFolder scratch;
  const Text library = scratch.Path("sim") + kPathSeparator + "scenery.cfg";
  const ProductDetails alps{scratch.Path("sim"), "ADD", scratch.Path("alps"), "Alps"};
};

// Refused before any backup or write, with the reason kept: a run that cannot have the library
// to itself in time, also when the run holding it replaced the library and a third run took
// the new one, and an ADD that could take the library past the size limit.
TEST(EditSceneryLibrary, RefusedRunsChangeNothing) {
  const Text text = "[Area.001]\r\nTitle=Lakes\r\nlocal=C:\\Lakes\r\nLayer=1\r\n";
  Install install(text);
  const Text& library = install.library;
  EditSettings settings;
  settings.lock_wait = std::chrono::milliseconds(50);
  for (int refusal : {0, 1, 2}) {
    std::string err;
    auto held = refusal < 2 ? LockLibrary(library, {}, {}, &err) : nullptr;
    settings.lock_opened = [&] {
      if (refusal != 1) return;
      WriteWholeFile(library, {text}, nullptr, &err);
      held.reset();
      held = LockLibrary(library, {}, {}, &err);
    };
    settings.size_limit = refusal == 2 ? text.size() + 80 : kLibrarySizeLimit;
    RecordingTerminal term;
    EXPECT_EQ(EditSceneryLibrary(install.alps, term, settings, &err).result_text,
              refusal == 2 ? kTooLargeText : kSaveFailureText);
    EXPECT_NE(err, "");
    EXPECT_EQ(ReadRaw(library) + term.shown, text);
    EXPECT_EQ(install.scratch.Names(), (std::set<std::string>{"alps", "sim"}));
    EXPECT_TRUE(fs::is_empty(install.scratch.Path("alps")));
  }
}

// Another program that saves the library between the read and the write-back keeps its save:
// the edit is made again on what it wrote, once. A second save in the way fails the run and
// leaves that save in place. The backup is the library as first read, either way.
TEST(EditSceneryLibrary, AnotherProgramsSaveIsKept) {
  for (int saves : {1, 2}) {
    const Text text = "[Area.001]\r\nLayer=1\r\n";
    Install install(text);
    const Text& library = install.library;
    const Text alps = install.scratch.Path("alps");
    Text saved = text;
    EditSettings settings;
    int calls = 0;
    settings.last_moment = [&] {
      if (++calls > saves) return;
      // Appended: Windows lets nobody cut short a file that a view shows.
      const Text save = "[Area.00" + NumberToText(4 + calls) + "]";
      std::ofstream(library, std::ios::binary | std::ios::app) << save;
      saved += save;
    };
    RecordingTerminal term;
    std::string err;
    const Text result = EditSceneryLibrary(install.alps, term, settings, &err).result_text;
    EXPECT_EQ(ReadRaw(alps + kPathSeparator + "scenery_beforeinstall.cfg"), text);
    if (saves == 1) {
      EXPECT_EQ(result.rfind("Scenery AREA added", 0), 0u) << result;
      EXPECT_EQ(err, "");
      EXPECT_EQ(ReadRaw(library), saved + "\r\n[Area.006]\r\nTitle=Alps\r\nlocal=" + alps +
                                      "\r\nActive=TRUE\r\nLayer=2\r\n\r\n");
    } else {
      EXPECT_EQ(result, kSaveFailureText);
      EXPECT_NE(err, "");
      EXPECT_EQ(ReadRaw(library), saved);
    }
  }
}

// Another program that cuts the library short while the run looks at it fails the run, which
// leaves that program's file as it is and makes no backup of a library it did not see whole.
// The Windows build reads the library instead; a save meanwhile is then one the edit is redone
// on, as above.
TEST(EditSceneryLibrary, ALibraryCutShortMeanwhileFailsTheRun) {
#ifdef _WIN32
  GTEST_SKIP() << "the library is read, not mapped";
#endif
  Text text;
  for (int area = 1; area <= 20000; ++area)
    text += "[Area." + NumberToText(area) + "]\r\nTitle=T" + NumberToText(area) + "\r\nLayer=1\r\n";
  // REMOVE looks for the folder in copies of the library read past the cut, ADD in place.
  for (const char* action : {"ADD", "REMOVE"}) {
    Install install(text);
    ProductDetails details = install.alps;
    details.action = action;
    EditSettings settings;
    settings.read_done = [&] { fs::resize_file(install.library, text.size() / 2); };
    RecordingTerminal term;
    std::string err;
    EXPECT_EQ(EditSceneryLibrary(details, term, settings, &err).result_text, kSaveFailureText);
    EXPECT_NE(err, "");
    EXPECT_EQ(ReadRaw(install.library), text.substr(0, text.size() / 2));
    EXPECT_EQ(std::distance(fs::directory_iterator(install.scratch.Path("sim")), {}), 1);
    EXPECT_TRUE(fs::is_empty(install.scratch.Path("alps")));
  }
}

}  // namespace
