#include "editor.h"

#include <gtest/gtest.h>
#include <signal.h>

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

// Refused before any backup or write, reason kept: a lock not had in time (also after the holder
// replaced the library and a third run locked the new one), an ADD that may pass the size limit.
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
      WriteRaw(library + ".new", text);
      fs::rename(library + ".new", library);
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

// Another program changing the library during a run. A cut the run looks past (also with the
// signal blocked by its parent) or a second save in the way fails it, leaving that file as it is
// and no backup. Any other change is redone on, once: the backup is a library that existed, with
// the metadata of the file read, the lock follows a replace, nothing outside the run's folders
// goes. On Windows nobody may cut or replace a file a view shows: only saves in place are played.
TEST(EditSceneryLibrary, ChangesUnderARun) {
  const Text head = "[Area.1]\r\nTitle=A\r\nLayer=1\r\n";
  Text text = head;
  for (int area = 3; area <= 20000; ++area)
    text += "[Area." + NumberToText(area) + "]\r\nTitle=T" + NumberToText(area) + "\r\nLayer=1\r\n";
  const auto private_perms = fs::perms::owner_read | fs::perms::owner_write;
  // clang-format off
  enum Change { kCutDeep, kCutBlocked, kSavedTwice, kReplaced, kLinkSwappedLate, kLinkSwapped,
                kSavedInPlace, kCutInLastPage, kCutBeforeWrite, kReadMidSave, kLinkAtBackup,
                kRows };
  // clang-format on
  for (int row = kCutDeep; row < kRows; ++row) {
    const Change change = static_cast<Change>(row);
    SCOPED_TRACE(change);
    if (Text(kPathSeparator) == "\\" && change != kSavedTwice) continue;
    Install install("");
    const Text sim = install.scratch.Path("sim") + kPathSeparator, lib = install.library;
    const Text prod = install.scratch.Path("alps"), backup = prod + "/scenery_beforeinstall.cfg";
    const Text alps = "[Area.2]\r\nTitle=Alps\r\nlocal=" + prod + "\r\nLayer=1\r\n";
    const bool removes = change == kCutBeforeWrite || change == kReadMidSave;
    Text found = removes ? head + alps + text.substr(head.size()) : text;
    WriteRaw(lib, change == kReadMidSave ? "" : found);
    if (change == kLinkSwapped || change == kLinkSwappedLate) {
      fs::rename(lib, sim + "private.cfg");
      fs::permissions(sim + "private.cfg", private_perms);
      WriteRaw(sim + "public.cfg", found = text + "[Area.30000]\r\n");
      fs::create_symlink("private.cfg", lib);
    }
    const Text outside = install.scratch.Path("outside.sceneryreg-1-0.tmp");
    if (change == kLinkAtBackup)
      WriteRaw(outside, "half"), fs::create_symlink("../outside", backup);
    ProductDetails details = install.alps;
    if (change == kCutBlocked || removes) details.action = "REMOVE";
    const size_t cut = change == kCutInLastPage ? found.size() - 3
                       : change <= kCutBlocked  ? found.size() / 2
                                                : found.size() * 3 / 4;
    EditSettings settings;
    int reads = 0, saves = 0;
    settings.read_done = [&] {
      if (reads++ || change == kSavedTwice || change == kReplaced || change == kLinkSwappedLate)
        return;
      if (change == kSavedInPlace) return WriteRaw(lib, found += "[Area.30000]\r\n");
      if (change == kReadMidSave) return WriteRaw(lib, found);
      if (change == kLinkSwapped) return fs::remove(lib), fs::create_symlink("public.cfg", lib);
      if (change != kLinkAtBackup) fs::resize_file(lib, cut), found.resize(cut);
    };
    EditResult other;
    std::string other_err;
    settings.last_moment = [&] {
      if (change == kSavedTwice) {
        std::ofstream(lib, std::ios::binary | std::ios::app) << "[Area.30000]\r\n";
        found += "[Area.30000]\r\n";
      } else if (change == kReplaced && ++saves == 1) {
        WriteRaw(lib + ".new", found += "[Area.30000]\r\n");
        fs::rename(lib + ".new", lib);
      } else if (change == kLinkSwappedLate && ++saves == 1) {
        fs::remove(lib), fs::create_symlink("public.cfg", lib);
      } else if (change == kReplaced) {
        RecordingTerminal term;
        EditSettings quick;
        quick.lock_wait = std::chrono::milliseconds(50);
        other = EditSceneryLibrary({sim, "ADD", prod, "Lakes"}, term, quick, &other_err);
      }
    };
#ifndef _WIN32
    sigset_t bus, before, after;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    pthread_sigmask(change == kCutBlocked ? SIG_BLOCK : SIG_UNBLOCK, &bus, &before);
#endif
    RecordingTerminal term;
    std::string err;
    const EditResult result = EditSceneryLibrary(details, term, settings, &err);
#ifndef _WIN32
    pthread_sigmask(SIG_SETMASK, &before, &after);
    EXPECT_EQ(sigismember(&after, SIGBUS), change == kCutBlocked);
#endif
    const Text now = ReadRaw(lib);
    if (change <= kSavedTwice) {
      EXPECT_EQ(result.result_text, kSaveFailureText);
      EXPECT_TRUE(now == found && (change == kSavedTwice) == fs::exists(backup)) << err;
      continue;
    }
    EXPECT_EQ(err, "");
    EXPECT_EQ(result.outcome, Outcome::Done);
    if (removes)
      EXPECT_TRUE(now == Text(found).replace(head.size(), alps.size(), "\r\n"));
    else
      EXPECT_TRUE(now.rfind(found + "\r\n[Area.", 0) == 0 && now.find("Title=Alps") != Text::npos);
    if (change == kLinkAtBackup)
      EXPECT_EQ(ReadRaw(outside), "half");
    else
      EXPECT_TRUE(ReadRaw(backup) == (change <= kLinkSwapped ? text : found));
    EXPECT_TRUE(change != kLinkSwapped || fs::status(backup).permissions() == private_perms);
    EXPECT_TRUE(change != kReplaced || other.result_text == kSaveFailureText) << other_err;
  }
}

}  // namespace
