#pragma once
// The scenery library editor: one run of ADD or REMOVE over scenery.cfg.

#include "outcome.h"
#include "terminal.h"
#include "text.h"

// The four command-line values, verbatim.
struct ProductDetails {
  Text simulator_folder;
  Text action;
  Text product_folder;
  Text product_title;
};

// The ResultText of a run that changed the library but could not save it, or could not get
// the library to itself in time.
extern const char kSaveFailureText[];

// What one edit hands back to the entry sequence.
struct EditResult {
  Text result_text;  // the ResultText: the ADD report, the save-failure text, or empty
  Outcome outcome;   // what the edit amounted to
};

// Loads the library, keeps the one-time backup, checks, adds or removes the product's area and
// writes the library back. Cautions and read failures are shown on console.
EditResult EditSceneryLibrary(const ProductDetails& details, Terminal& console);
