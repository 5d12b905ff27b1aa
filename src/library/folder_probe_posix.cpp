#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "files.h"
#include "folder_probe.h"

Text EntryFolder(const Text& simulator_folder, std::string_view written) {
  if (written.starts_with('/')) return Text(written);
  return simulator_folder + kPathSeparator + Text(written);
}

bool IsFolder(const Text& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ListFolder(const Text& folder, std::vector<std::string>* names) {
  DIR* listing = opendir(folder.c_str());
  if (!listing) return false;
  errno = 0;
  while (const dirent* entry = readdir(listing)) names->emplace_back(entry->d_name);
  const bool complete = errno == 0;
  closedir(listing);
  return complete;
}
