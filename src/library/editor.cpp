#include "editor.h"

#include <cstdint>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

#include "files.h"
#include "library_edit.h"
#include "library_file.h"
#include "library_lock.h"

const char kSaveFailureText[] =
    "Sorry, but this program could not save your 'Scenery.cfg' file, your scenery library has "
    "not been changed";

const char kTooLargeText[] =
    "Sorry, but your 'Scenery.cfg' file is too large for this program (over 1 GiB), your "
    "scenery library has not been changed";

namespace {

// Keeps what is shown while the library is locked, so that it can be shown, with its key
// waits, once the lock is released: a user reading a message must not hold up the other runs.
class HeldMessages : public Terminal {
 public:
  void Print(const Text& text) override { steps_.push_back({text, false}); }
  int WaitForKey() override {
    steps_.push_back({Text(), true});
    return 0;
  }
  // Prints and waits on terminal as was asked of this one.
  void ShowOn(Terminal& terminal) const {
    for (const Step& step : steps_) {
      if (step.key_wait)
        terminal.WaitForKey();
      else
        terminal.Print(step.text);
    }
  }

 private:
  struct Step {
    Text text;
    bool key_wait;
  };
  std::vector<Step> steps_;
};

// What became of the backup so far.
enum class Backup {
  kToMake,   // not tried yet, or dropped: the library changed while it was copied
  kMade,     // in place, the library as read
  kNotMade,  // not written, and not tried again
};

// The part of a run that holds the lock. The lock keeps out only other runs: when another
// program saved the library since it was read, the edit is made once more on what that
// program wrote, so its save is kept. The lock follows the library to a file put in its place.
EditResult EditLocked(const ProductDetails& details, Terminal& held, const EditSettings& settings,
                      std::unique_ptr<LibraryLock>& lock, std::string* err) {
  const Text library_path = LibraryPath(details.simulator_folder);
  const Text backup_path = BackupPath(details.product_folder);
  RemoveStaleTemporaries(library_path, TemporariesBeside::kLinkTarget);
  RemoveStaleTemporaries(backup_path, TemporariesBeside::kName);

  Backup backup = Backup::kToMake;
  for (int attempt = 0, relocks = 0; attempt < 2;) {
    // A library that cannot be read stops the run here: an empty text must neither become the
    // backup nor be written over the library.
    FileContent library;
    ReadFailure read = ReadWholeFile(library_path, settings.size_limit, &library, err);
    if (read == kTooLarge) return {kTooLargeText, Outcome::LibraryNotSaved};
    if (read != kReadDone) {
      ShowMessage(held, ReadFailureMessage(library_path, read));
      return {Text(), Outcome::LibraryNotSaved};
    }
    // Another program put a new file in the library's place since the lock was taken: another
    // run may lock that one, so this run does first, and reads what it then holds.
    if (!lock->Holds(library.stamp)) {
      lock.reset();
      if (++relocks > 2 || !(lock = LockLibrary(library_path, settings.lock_wait, {}, err))) {
        if (lock) *err = library_path + " was replaced again and again by another program";
        return {kSaveFailureText, Outcome::LibraryNotSaved};
      }
      continue;
    }
    if (AddMayPassLimit(details, library.bytes.size(), settings.size_limit)) {
      *err = "adding to " + library_path + " would take it past " +
             std::to_string(settings.size_limit) + " bytes";
      return {kTooLargeText, Outcome::LibraryNotSaved};
    }
    if (settings.read_done) settings.read_done();

    // The backup is the library as this run found it. One that cannot be written is not named
    // in the report, and stops nothing; one dropped because the library changed while it was
    // copied is made from what the redo reads. It is written on a thread of its own, and the
    // search starts once its bytes are handed to the system: the copy does not share the
    // processors with the search, and the flush to disk takes longer than the search.
    std::string backup_err;
    std::promise<void> handed_over;
    const auto write_backup = [&] {
      bool told = false;
      const WriteResult made = WriteNewFile(backup_path, library.bytes, library, &backup_err, [&] {
        handed_over.set_value();
        told = true;
      });
      backup = made == WriteResult::kWritten            ? Backup::kMade
               : made == WriteResult::kChangedMeanwhile ? Backup::kToMake
                                                        : Backup::kNotMade;
      if (!told) handed_over.set_value();
    };
    std::thread backup_thread;
    try {
      if (backup == Backup::kToMake) backup_thread = std::thread(write_backup);
    } catch (const std::system_error&) {  // no thread to be had: written first, then
      write_backup();
    }
    if (backup_thread.joinable()) handed_over.get_future().wait();
    const MappingCopies copies;
    LibraryEdit edit = EditLibraryText(library.bytes, details, false, &copies);
    if (backup_thread.joinable()) backup_thread.join();
    if (!edit.result_text.empty())
      edit.result_text = AddReport(edit, details, backup == Backup::kMade);
    // Nothing found in a library cut short under the run, not even a caution, is true of it.
    if (!library.Intact()) {
      *err = library_path + " was cut short by another program while it was read";
      return {kSaveFailureText, Outcome::LibraryNotSaved};
    }
    // A run that writes nothing reports on the text read, which is true of the library only if
    // it stayed so: a text read in the middle of another program's save is read again.
    if (!edit.changed && AsRead(library, err) == WriteResult::kChangedMeanwhile) {
      ++attempt;
      continue;
    }
    if (!edit.caution_text.empty()) ShowMessage(held, edit.caution_text);
    // An unchanged text is not written: the same bytes again could only undo what another
    // program wrote since the read.
    const WriteResult written =
        edit.changed ? WriteWholeFile(library_path, EditedLibrary(library.bytes, edit),
                                      {library, settings.last_moment}, err)
                     : WriteResult::kWritten;
    if (written == WriteResult::kWritten) {
      err->clear();
      return {edit.result_text, edit.outcome};
    }
    if (written != WriteResult::kChangedMeanwhile) break;
    ++attempt;
  }
  return {kSaveFailureText, Outcome::LibraryNotSaved};
}

}  // namespace

// The appended section is bounded by its longest numbers.
bool AddMayPassLimit(const ProductDetails& details, size_t library_size, size_t limit) {
  const size_t section =
      AreaSectionText(INT32_MAX, INT32_MAX, details.product_title, details.product_folder).size();
  return SameText(UpperText(details.action), "ADD") && library_size + section > limit;
}

EditResult EditSceneryLibrary(const ProductDetails& details, Terminal& console,
                              const EditSettings& settings, std::string* err) {
  HeldMessages held;
  EditResult result;
  {
    std::unique_ptr<LibraryLock> lock = LockLibrary(LibraryPath(details.simulator_folder),
                                                    settings.lock_wait, settings.lock_opened, err);
    if (!lock) return {kSaveFailureText, Outcome::LibraryNotSaved};
    result = EditLocked(details, held, settings, lock, err);
  }
  held.ShowOn(console);
  return result;
}
