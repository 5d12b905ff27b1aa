#pragma once
// The scenery library editor: one run of ADD or REMOVE over scenery.cfg.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "library_lock.h"
#include "outcome.h"
#include "product_details.h"
#include "terminal.h"
#include "text.h"

// The ResultText of a run that changed the library but could not save it, or could not get
// the library to itself in time.
extern const char kSaveFailureText[];

// The ResultText of a run on a library too large to edit, or that an ADD would make so.
extern const char kTooLargeText[];

// The largest library the editor takes: positions in it must fit 32 bits with room to spare.
constexpr size_t kLibrarySizeLimit = size_t{1} << 30;

// What a run may wait for and hold; tests shorten the one, lower the other and play another
// program.
struct EditSettings {
  std::chrono::milliseconds lock_wait{kLockWait};  // for another run's lock on the library
  size_t size_limit = kLibrarySizeLimit;
  std::function<void()> lock_opened;  // tests: other runs acting as this one tries the lock
  std::function<void()> read_done;    // tests: another program cutting the library short
  std::function<void()> last_moment;  // tests: another program saving just before write-back
};

// What one edit hands back to the entry sequence.
struct EditResult {
  Text result_text;                 // the ResultText: the ADD report, a failure text, or empty
  Outcome outcome = Outcome::Done;  // what the edit amounted to
};

// Whether the ADD of details could take a library of library_size bytes past limit.
bool AddMayPassLimit(const ProductDetails& details, size_t library_size, size_t limit);

// Loads the library, keeps the one-time backup, checks, adds or removes the product's area and
// writes the library back. Cautions and read failures are shown on console; the reason of a
// failure is in *err.
EditResult EditSceneryLibrary(const ProductDetails& details, Terminal& console,
                              const EditSettings& settings, std::string* err);
