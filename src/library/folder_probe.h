#pragma once
// Where a folder entry of the library leads, and whether a folder is there.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "text.h"

// The folder that the entry written names: as written when it is absolute, else taken from
// simulator_folder, as the simulator takes it.
Text EntryFolder(const Text& simulator_folder, std::string_view written);

// True when path leads to a folder.
bool IsFolder(const Text& path);

// Puts the names in folder into names; false when it cannot be listed.
bool ListFolder(const Text& folder, std::vector<std::string>* names);

// True when a folder whose listing lacks name surely has nothing at that name, however the
// file system compares names. lowered_names holds the listed names with ASCII letters lowered;
// ascii_listing is false when a listed name is not plain ASCII. Case-insensitive file systems
// match letters of another case, Unicode ones letters that fold to ASCII, FAT and network
// shares short names ("GENERA~1") and names without their trailing dots and blanks: only a
// plain ASCII name none of these could reach is ruled out.
bool ListingRulesOut(std::string_view name, const std::unordered_set<std::string>& lowered_names,
                     bool ascii_listing);

// Tells which entries' folders are there for a whole library. A system's lookup of a name that
// is not there leaves a note of the miss behind, and each later lookup costs more for the notes
// before it: once a folder has had many misses, its listing answers for the names it lacks, so
// that a million missing folders cost a million times one.
class FolderProbe {
 public:
  explicit FolderProbe(Text simulator_folder) : simulator_folder_(std::move(simulator_folder)) {}

  // True when the folder the entry written names is there.
  bool EntryExists(std::string_view written);

 private:
  struct Parent {
    int misses = 0;
    bool listed = false;  // names answers for the missing, when ascii is true
    bool ascii = false;
    std::unordered_set<std::string> names;
  };
  Text simulator_folder_;
  std::unordered_map<std::string, Parent> parents_;
};
