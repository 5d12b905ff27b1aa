#include "editor.h"

#include <gtest/gtest.h>

#include "files.h"
#include "library_edit.h"
#include "support_fixtures.h"

namespace {

namespace fs = std::filesystem;

const Text kSep = kPathSeparator;

ProductDetails Product(const Text& action, const Text& folder, const Text& title) {
  return ProductDetails{"C:\\Sim", action, folder, title};
}

// --- The edit of the library text -------------------------------------------------------

// Highest area 12 and highest layer 14, neither in the last section.
const Text kTwelveFourteen =
    "[General]\r\nTitle=Scenery Library\r\n\r\n"
    "[Area.012]\r\nTitle=Lakes\r\nlocal=C:\\Scenery\\Lakes\r\nActive=TRUE\r\nLayer=14\r\n\r\n"
    "[Area.003]\r\nTitle=Coast\r\nlocal=C:\\Scenery\\Coast\r\nActive=TRUE\r\nLayer=2\r\n";

// What an ADD of "Alps" in folder appends to kTwelveFourteen, and its report.
Text AlpsSection(const Text& folder) {
  return "\r\n[Area.013]\r\nTitle=Alps\r\nlocal=" + folder + "\r\nActive=TRUE\r\nLayer=15\r\n\r\n";
}
Text AlpsReport(const Text& folder, bool backup) {
  return "Scenery AREA added:\r\n\r\nAREA=13\r\nTitle=Alps\r\nlocalv=" + folder +
         "\r\nActive=TRUE\r\nLayer=15\r\n\r\n"
         "If you wish to move this Layer, please use the FS scenery library" +
         (backup ? "\n\r\n\rBackup made of 'scenery.cfg' at " + folder + kSep +
                       "scenery_beforeinstall.cfg"
                 : "") +
         "\r\n\r\nPRESS ANY KEY";
}

const Text kTitleCaution =
    "Adding your Product to your FS scenery Library:\r\n\r\n\r\n\r\n"
    "Caution another product found using the same name: \r\n\r\n"
    "'alps'\r\n\r\n"
    "But it is using another directory location\r\n"
    "Your scenery library has not been changed, because of this.\r\n";

// Entries at the very start of the library count like any other; a folder entry there has
// no section to cut.
TEST(EditLibraryText, EntriesBeforeAnyHeader) {
  const Text stray = "local=D:\\S\r\n[Area.001]\r\nlocal=D:\\A\r\nLayer=1\r\n";
  LibraryEdit edit = EditLibraryText(stray, Product("REMOVE", "D:\\S", "S"), false);
  EXPECT_FALSE(edit.changed);
  EXPECT_EQ(edit.library_text, stray);
  EXPECT_EQ(edit.outcome, Outcome::NotEditable);
  EXPECT_EQ(EditLibraryText("Title=S\r\n" + stray, Product("ADD", "D:\\T", "S"), false).outcome,
            Outcome::TitleTaken);
  EXPECT_EQ(EditLibraryText(stray, Product("ADD", "D:\\S", "T"), false).outcome,
            Outcome::FolderTaken);
}

TEST(EditLibraryText, NewNumbersAreOneAboveTheHighest) {
  struct Case { Text library, header, layer; };  // header and layer of the appended section
  const auto area = [](const Text& header, const Text& layer) {
    return header + "\r\nTitle=x\r\nlocal=y\r\nLayer=" + layer + "\r\n";
  };
  const Case cases[] = {
      {area("[area.9]", "7"), "[Area.010]", "8"}, {area("[Area.1]", "1"), "[Area.002]", "2"},
      {area("[Area.999]", "1"), "[Area.1000]", "2"},
      // Hits inside values and at the end of longer key names count as well.
      {area("[Area.003]", "1") + "Title=old [area.41] copy\r\nBaseLayer=20\r\n", "[Area.042]",
       "21"},
      // Numbers too big for 32 bits count as 0; the largest readable one still adds safely.
      {area("[Area.1e99]", "1") + area("[Area.005]", "2"), "[Area.006]", "3"},
      {area("[Area.214748e4]", "1"), "[Area.2147480001]", "2"},
  };
  for (const Case& c : cases) {
    LibraryEdit edit = EditLibraryText(c.library, Product("ADD", "F", "T"), false);
    EXPECT_EQ(edit.library_text,
              c.library + "\r\n" + c.header + "\r\nTitle=T\r\nlocal=F\r\nActive=TRUE\r\nLayer=" +
                  c.layer + "\r\n\r\n");
  }
}

TEST(EditLibraryText, RemoveTakesOnlyTheFirstWholeFolderMatch) {
  const auto section = [](const Text& number, const Text& title, const Text& folder) {
    return "[Area." + number + "]\r\nTitle=" + title + "\r\nlocal=" + folder +
           "\r\nLayer=1\r\n\r\n";
  };
  const Text harbour2 = section("001", "Harbour Two", "D:\\Addons\\Harbour2");
  const Text harbour = section("002", "Other Title", "D:\\Addons\\Harbour");
  const Text trailing = section("003", "Harbour", "D:\\Addons\\Harbour\\");
  const Text end = section("004", "End", "D:\\End");
  const ProductDetails remove = Product("REMOVE", "D:\\Addons\\Harbour", "Harbour");

  // A longer sibling folder is passed over, the section is found by folder whatever its title,
  // and of two sections with the folder only the first goes; the next run takes the one
  // written with a trailing separator.
  Text library = harbour2 + harbour + trailing + end;
  library = EditLibraryText(library, remove, false).library_text;
  EXPECT_EQ(library, harbour2 + "\r\n" + trailing + end);
  library = EditLibraryText(library, remove, false).library_text;
  EXPECT_EQ(library, harbour2 + "\r\n" + "\r\n" + end);
  EXPECT_FALSE(EditLibraryText(library, remove, false).changed);
}

TEST(EditLibraryText, SectionGuardGrowsWithTitleAndFolder) {
  const Text title = "Harbour";            // 7 characters
  const Text folder = "D:\\Addons\\Harbour";  // 17 characters: the bound is 324
  const Text next = "[Area.003]\r\nlocal=D:\\Next\r\nLayer=3\r\n";
  struct Case { int span; bool removed; };
  for (const Case& c : {Case{324, true}, Case{325, false}, Case{310, true}}) {
    Text section = "[Area.002]\r\nTitle=" + title + "\r\nlocal=" + folder + "\r\nLayer=2\r\n";
    section += "Note=" + Text(c.span - section.size() - 9, 'x') + "\r\n\r\n";
    ASSERT_EQ(static_cast<int>(section.size()), c.span);
    const Text library = section + next;
    LibraryEdit edit = EditLibraryText(library, Product("REMOVE", folder, title), false);
    EXPECT_EQ(edit.library_text, c.removed ? "\r\n" + next : library) << c.span;
  }
}

// --- The run over the disk --------------------------------------------------------------

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

  ScratchFolder scratch;
  const Text sim = scratch.Path("sim"), alps = scratch.Path("alps");
  const Text library = sim + kSep + "scenery.cfg";
  const Text backup = alps + kSep + "scenery_beforeinstall.cfg";
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
  EXPECT_EQ(ReadRaw(library), kTwelveFourteen + "\r\n\r\n" + AlpsSection(alps));
  EXPECT_EQ(ReadRaw(backup), kTwelveFourteen);
  // A product folder that does not exist gets no backup, and the report names none.
  const Text missing = scratch.Path("missing");
  WriteRaw(library, kTwelveFourteen);
  EXPECT_EQ(Run("ADD", missing, "Alps"), AlpsReport(missing, false));
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(term.shown, "");
}

// Each refusal comes before any backup or write, with the reason kept.
TEST_F(EditorFiles, RefusedRunsChangeNothing) {
  const Text kTooLarge =
      "Sorry, but your 'Scenery.cfg' file is too large for this program (over 1 GiB), your "
      "scenery library has not been changed";
  const Text kSaveFailure =
      "Sorry, but this program could not save your 'Scenery.cfg' file, your scenery library "
      "has not been changed";
  const Text text = kTwelveFourteen + "[Area.020]\r\nlocal=" + alps + "\r\nLayer=1\r\n";
  std::unique_ptr<LibraryLock> held;
  struct Case { const char* name; std::function<void()> setup; Text action, result; bool backup; };
  const Case cases[] = {
      {"library past the limit", [&] { settings.size_limit = text.size() - 1; }, "REMOVE",
       kTooLarge, false},
      {"an ADD would pass the limit", [&] { settings.size_limit = text.size() + 30; }, "ADD",
       kTooLarge, false},
      {"lock held by another run", [&] { held = LockLibrary(library, {}, &err); }, "REMOVE",
       kSaveFailure, false},
      {"read-only library", [&] { fs::permissions(library, fs::perms::owner_read); }, "REMOVE",
       kSaveFailure, true},
  };
  settings.lock_wait = std::chrono::milliseconds(50);
  for (const Case& c : cases) {
    WriteRaw(library, text);
    c.setup();
    EXPECT_EQ(Run(c.action, alps, "New"), c.result) << c.name;
    EXPECT_NE(err, "") << c.name;
    EXPECT_EQ(ReadRaw(library), text) << c.name;
    EXPECT_EQ(fs::remove(backup), c.backup) << c.name;
    held.reset();
    settings.size_limit = kLibrarySizeLimit;
  }
  fs::permissions(library, fs::perms::owner_all);
  settings.size_limit = text.size();
  EXPECT_EQ(Run("REMOVE", alps, "Alps"), "");
  EXPECT_EQ(ReadRaw(library), kTwelveFourteen + "\r\n");
  EXPECT_EQ(term.shown, "");
}

TEST_F(EditorFiles, LibraryThatCannotBeReadStopsAfterTheReadMessage) {
  fs::create_directory(library);
  EXPECT_EQ(Run("ADD", alps, "Alps"), "");
  EXPECT_EQ(term.shown, "Error opening file: " + library + "   Errorcode=2\r\n<key>");
  EXPECT_TRUE(lock_free_at_every_key);
  EXPECT_TRUE(fs::is_empty(library));
  EXPECT_FALSE(fs::exists(backup));
}

TEST_F(EditorFiles, UnchangedLibraryIsNotRewritten) {
  const Text text =
      kTwelveFourteen + "[Area.020]\r\nTitle=Alps\r\nlocal=C:\\Elsewhere\r\nLayer=1\r\n";
  WriteRaw(library, text);
  const fs::file_time_type old_time = fs::last_write_time(library) - std::chrono::hours(24 * 400);
  fs::last_write_time(library, old_time);
  EXPECT_EQ(Run("REMOVE", alps, "Alps"), "");  // not in the library
  EXPECT_EQ(term.shown, "");
  EXPECT_EQ(Run("ADD", alps, "alps"), "");  // title taken: the caution, after the lock
  EXPECT_EQ(term.shown, kTitleCaution + "\r\n<key>");
  EXPECT_TRUE(lock_free_at_every_key);
  EXPECT_EQ(fs::last_write_time(library), old_time);
  EXPECT_EQ(ReadRaw(library), text);
}

}  // namespace
