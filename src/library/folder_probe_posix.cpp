#include <sys/stat.h>

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
