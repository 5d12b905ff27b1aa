#include "editor.h"

#include <gtest/gtest.h>

#include "files.h"
#include "library_edit.h"
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
      {area("[Area.003]", "1") + "Title=old [area.41] copy\r\nBaseLayer=20\r\n", "[Area.042]", "21"},
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

// Highest area 12 and highest layer 14, neither in the last section.
const Text kTwelveFourteen =
    "[General]\r\nTitle=Scenery Library\r\n\r\n"
    "[Area.012]\r\nTitle=Lakes\r\nlocal=C:\\Scenery\\Lakes\r\nActive=TRUE\r\nLayer=14\r\n\r\n"
    "[Area.003]\r\nTitle=Coast\r\nlocal=C:\\Scenery\\Coast\r\nActive=TRUE\r\nLayer=2\r\n";

class EditorFiles : public testing::Test {
 protected:
  EditorFiles() {
    fs::create_directory(sim);
    fs::create_directory(alps);
    // Nobody else may be kept waiting for the library while a message waits for its key.
    term.at_key = [this] { lock_free_at_every_key &= GrantedElsewhere(library, {}); };
  }
  Text Run(const Text& action, const Text& folder, const Text& title) {
    err.clear();
    return EditSceneryLibrary(ProductDetails{sim, action, folder, title}, term, settings, &err)
        .result_text;
  }
  // What an ADD of "Alps" in folder reports on kTwelveFourteen.
  Text AlpsReport(const Text& folder, bool backup) {
    return "Scenery AREA added:\r\n\r\nAREA=13\r\nTitle=Alps\r\nlocalv=" + folder +
           "\r\nActive=TRUE\r\nLayer=15\r\n\r\nIf you wish to move this Layer, please use the FS "
           "scenery library" + (backup ? "\n\r\n\rBackup made of 'scenery.cfg' at " + backup_path : "") +
           "\r\n\r\nPRESS ANY KEY";
  }

  ScratchFolder scratch;
  const Text sim = scratch.Path("sim"), alps = scratch.Path("alps");
  const Text library = sim + kPathSeparator + "scenery.cfg";
  const Text backup_path = alps + kPathSeparator + "scenery_beforeinstall.cfg";
  RecordingTerminal term;
  bool lock_free_at_every_key = true;
  EditSettings settings;
  std::string err;  // of the last run
};

TEST_F(EditorFiles, BackupIsMadeOnceAndNeverRefreshed) {
  WriteRaw(library, kTwelveFourteen);
  EXPECT_EQ(Run("ADD", alps, "Alps"), AlpsReport(alps, true));
  EXPECT_EQ(Run("REMOVE", alps, "Alps"), "");
  EXPECT_EQ(Run("ADD", alps, "Alps"), AlpsReport(alps, false));
  EXPECT_EQ(ReadRaw(library), kTwelveFourteen + "\r\n\r\n\r\n[Area.013]\r\nTitle=Alps\r\nlocal=" +
                                  alps + "\r\nActive=TRUE\r\nLayer=15\r\n\r\n");
  EXPECT_EQ(ReadRaw(backup_path), kTwelveFourteen);
  // A product folder that does not exist gets no backup, and the report names none.
  const Text missing = scratch.Path("missing");
  WriteRaw(library, kTwelveFourteen);
  EXPECT_EQ(Run("ADD", missing, "Alps"), AlpsReport(missing, false));
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(term.shown, "");
}

// Refused before any backup or write, with the reason kept: a run that cannot have the library
// to itself in time, and an ADD that could take the library past the size limit.
TEST_F(EditorFiles, RefusedRunsChangeNothing) {
  WriteRaw(library, kTwelveFourteen);
  settings.lock_wait = std::chrono::milliseconds(50);
  for (Text result : {kSaveFailureText, kTooLargeText}) {
    auto held = result == kSaveFailureText ? LockLibrary(library, {}, &err) : nullptr;
    settings.size_limit = result == kTooLargeText ? kTwelveFourteen.size() + 80 : kLibrarySizeLimit;
    EXPECT_EQ(Run("ADD", alps, "Alps"), result);
    EXPECT_NE(err, "");
    EXPECT_EQ(ReadRaw(library), kTwelveFourteen);
    EXPECT_FALSE(fs::exists(backup_path));
  }
  EXPECT_EQ(term.shown, "");
}

TEST_F(EditorFiles, UnchangedLibraryIsNotRewritten) {
  const Text text = kTwelveFourteen + "[Area.020]\r\nTitle=Alps\r\nlocal=C:\\Elsewhere\r\nLayer=1\r\n";
  WriteRaw(library, text);
  const fs::file_time_type old_time = fs::last_write_time(library) - std::chrono::hours(24 * 400);
  fs::last_write_time(library, old_time);
  EXPECT_EQ(Run("REMOVE", alps, "Alps"), "");  // not in the library
  EXPECT_EQ(term.shown, "");
  EXPECT_EQ(Run("ADD", alps, "alps"), "");  // title taken: the caution, after the lock
  EXPECT_EQ(term.shown,
            "Adding your Product to your FS scenery Library:\r\n\r\n\r\n\r\nCaution another product "
            "found using the same name: \r\n\r\n'alps'\r\n\r\nBut it is using another directory "
            "location\r\nYour scenery library has not been changed, because of this.\r\n\r\n<key>");
  EXPECT_TRUE(lock_free_at_every_key);
  EXPECT_EQ(fs::last_write_time(library), old_time);
  EXPECT_EQ(ReadRaw(library), text);
}

}  // namespace
