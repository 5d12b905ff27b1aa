#include "editor.h"

#include <gtest/gtest.h>

#include "files.h"
#include "library_lock.h"
#include "support_fixtures.h"

namespace {

namespace fs = std::filesystem;

// Refused before any backup or write, with the reason kept: a run that cannot have the library
// to itself in time, and an ADD that could take the library past the size limit.
TEST(EditSceneryLibrary, RefusedRunsChangeNothing) {
  ScratchFolder scratch;
  fs::create_directory(scratch.Path("sim"));
  fs::create_directory(scratch.Path("alps"));
  const Text library = scratch.Path("sim") + kPathSeparator + "scenery.cfg";
  const Text text = "[Area.001]\r\nTitle=Lakes\r\nlocal=C:\\Lakes\r\nLayer=1\r\n";
  WriteRaw(library, text);
  EditSettings settings;
  settings.lock_wait = std::chrono::milliseconds(50);
  for (Text refusal : {kSaveFailureText, kTooLargeText}) {
    std::string err;
    auto held = refusal == kSaveFailureText ? LockLibrary(library, {}, &err) : nullptr;
    settings.size_limit = refusal == kTooLargeText ? text.size() + 80 : kLibrarySizeLimit;
    RecordingTerminal term;
    const ProductDetails alps{scratch.Path("sim"), "ADD", scratch.Path("alps"), "Alps"};
    EXPECT_EQ(EditSceneryLibrary(alps, term, settings, &err).result_text, refusal);
    EXPECT_NE(err, "");
    EXPECT_EQ(ReadRaw(library) + term.shown, text);
    EXPECT_EQ(scratch.Names(), (std::set<std::string>{"alps", "sim"}));
    EXPECT_TRUE(fs::is_empty(scratch.Path("alps")));
  }
}

}  // namespace
