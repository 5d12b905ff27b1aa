#include "editor.h"

#include <chrono>
#include <vector>

#include "files.h"
#include "library_edit.h"
#include "library_file.h"
#include "library_lock.h"

const char kSaveFailureText[] =
    "Sorry, but this program could not save your 'Scenery.cfg' file, your scenery library has "
    "not been changed";

// Other runs on the same library wait this long for it before giving up without a change.
static constexpr std::chrono::seconds kLockWait{30};

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

}  // namespace

EditResult EditSceneryLibrary(const ProductDetails& details, Terminal& console) {
  HeldMessages held;
  EditResult result{Text(), Outcome::LibraryNotSaved};  // stays so when the read fails
  {
    std::unique_ptr<LibraryLock> lock = LockLibrary(details.simulator_folder, kLockWait);
    if (!lock)
      return {kSaveFailureText, Outcome::LibraryNotSaved};

    const Text library_path = LibraryPath(details.simulator_folder);
    const Text backup_path = BackupPath(details.product_folder);
    RemoveStaleTemporaries(library_path);
    RemoveStaleTemporaries(backup_path);

    // A library that cannot be read stops the run here: an empty text must neither become the
    // backup nor be written over the library.
    std::optional<Text> read = ReadWholeFile(library_path, false, held);
    if (read) {
      const bool backup_made = !FileExists(backup_path) && WriteWholeFile(backup_path, *read);
      LibraryEdit edit = EditLibraryText(std::move(*read), details, backup_made);
      // An unchanged text is not written: the same bytes again could only undo what another
      // program wrote since the read.
      result = edit.changed && !WriteWholeFile(library_path, edit.library_text)
                   ? EditResult{kSaveFailureText, Outcome::LibraryNotSaved}
                   : EditResult{edit.result_text, edit.outcome};
      if (!edit.caution_text.empty())
        ShowMessage(held, edit.caution_text);
    }
  }
  held.ShowOn(console);
  return result;
}
