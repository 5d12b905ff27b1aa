#include "editor.h"

#include <gtest/gtest.h>

#include "files.h"
#include "library_edit.h"
#include "library_lock.h"
#include "support_fixtures.h"

namespace {

namespace fs = std::filesystem;

ProductDetails Product(const Text& action, const Text& folder, const Text& title) {
  return ProductDetails{"C:\\Sim", action, folder, title};
}

// --- The edit of the library text -------------------------------------------------------

TEST(EditLibraryText, NewNumbersAreOneAboveTheHighest) {
  struct Case { Text library, header, layer; };  // header and layer of the appended section
  const auto area = [](const Text& header, const Text& layer) {
    return header + "\r\nTitle=x\r\nlocal=y\r\nLayer=" + layer + "\r\n";
  };
  const Case cases[] = {
      {area("[area.9]", "7"), "[Area.010]", "8"}, {area("[Area.999]", "1"), "[Area.1000]", "2"},
      // Hits inside values and at the end of longer key names count as well.
      {area("[Area.003]", "1") + "Title=old [area.41]\r\nBaseLayer=20\r\n", "[Area.042]", "21"},
      // Numbers too big for 32 bits count as 0; the largest readable one still adds safely.
      {area("[Area.1e99]", "1") + area("[Area.005]", "2"), "[Area.006]", "3"},
      {area("[Area.214748e4]", "1"), "[Area.2147480001]", "2"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EditLibraryText(c.library, Product("ADD", "F", "T"), false).library_text,
              c.library + "\r\n" + c.header + "\r\nTitle=T\r\nlocal=F\r\nActive=TRUE\r\nLayer=" +
                  c.layer + "\r\n\r\n");
  }
}

// A longer sibling folder is passed over, the section is found by folder whatever its title,
// and of two sections with the folder only the first goes; the next run takes the one written
// with a trailing separator. A section is cut only while it is no longer than its guard,
// which grows with title and folder: 324 bytes for these.
TEST(EditLibraryText, RemoveCutsTheFirstWholeFolderMatchWithinItsGuard) {
  const auto section = [](const Text& number, const Text& title, const Text& folder, int span) {
    Text s = "[Area." + number + "]\r\nTitle=" + title + "\r\nlocal=" + folder + "\r\nLayer=1\r\n";
    return s + "Note=" + Text(span - s.size() - 9, 'x') + "\r\n\r\n";
  };
  const Text harbour2 = section("001", "Harbour Two", "D:\\Addons\\Harbour2", 100);
  const Text first = section("002", "Other Title", "D:\\Addons\\Harbour", 324);
  const Text trailing = section("003", "Harbour", "D:\\Addons\\Harbour\\", 325);
  const Text end = section("004", "End", "D:\\End", 100);
  const ProductDetails remove = Product("REMOVE", "D:\\Addons\\Harbour", "Harbour");
  Text library = harbour2 + first + trailing + end;
  library = EditLibraryText(library, remove, false).library_text;
  EXPECT_EQ(library, harbour2 + "\r\n" + trailing + end);
  EXPECT_EQ(EditLibraryText(library, remove, false).library_text, library);  // past the guard
  library = harbour2 + "\r\n" + section("003", "Harbour", "D:\\Addons\\Harbour\\", 324) + end;
  EXPECT_EQ(EditLibraryText(library, remove, false).library_text, harbour2 + "\r\n\r\n" + end);
}

// --- The run over the disk --------------------------------------------------------------

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
