#pragma once
// What a run amounted to, as the exit code of an unattended run. Installers branch on these
// numbers and the README and --help publish them: never renumber one, only add new ones.
// 1 to 9 are left out because the runtime and the system end failed processes with small
// codes of their own (an abort ends with 3 on Windows).

// One value per exit code; the value is the code.
enum class Outcome {
  Done = 0,                // added, or removed, as asked
  AlreadyRegistered = 10,  // ADD: its title and its folder are both there; nothing changed
  FolderTaken = 11,        // ADD: its folder is there under another title (the folder caution)
  TitleTaken = 12,         // ADD: its title is there with another folder (the title caution)
  NothingToRemove = 13,    // REMOVE: its folder is not in the library
  NotEditable = 14,        // no numbered area or no layer, or its section cannot be cut out
  LibraryNotFound = 15,    // no scenery.cfg in the simulator folder
  BadArguments = 16,       // the action is wrong, or a product detail is empty or broken
  LibraryNotSaved = 17,    // the library could not be read, saved or locked; nothing changed
  Findings = 18,           // CHECK: the library has findings
};
