#pragma once
// The runs that only look at the library: LIST, CHECK and the dry run of an ADD or REMOVE.
// They take no lock and write nothing anywhere, no lock file or temporary either: a save
// replaces the library in one step, so a read always sees one whole version of it.

#include <string>

#include "editor.h"
#include "outcome.h"
#include "product_details.h"
#include "terminal.h"
#include "text.h"

// The names the dry run's diff gives the library before and after.
extern const char kDiffOldName[];
extern const char kDiffNewName[];

// LIST: the heading, then one row per area section of the library in simulator_folder, printed
// on out while the library is read, in pieces. The reason of a failure is in *err.
Outcome ListSceneryLibrary(const Text& simulator_folder, Terminal& out, std::string* err);

// CHECK: one line per finding, then the summary, on out; Findings when there is any.
Outcome CheckSceneryLibrary(const Text& simulator_folder, Terminal& out, std::string* err);

// What a dry run found.
struct DryRun {
  EditResult edit;  // what EditSceneryLibrary would return
  Text diff;        // the change to the library as a unified diff; empty when none
};

// The edit of details as EditSceneryLibrary would make it, with the same cautions and messages
// shown on console, and the report naming the backup when one would be made.
DryRun DryRunEdit(const ProductDetails& details, Terminal& console, std::string* err);
