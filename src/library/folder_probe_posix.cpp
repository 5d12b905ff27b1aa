#include <dirent.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

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
  // Only disk and memory file systems list every name a lookup finds; /proc, autofs and network
  // mounts answer lookups of names they never list.
  // ext2/3/4, XFS, Btrfs, tmpfs, overlayfs, F2FS, as statfs names them.
  constexpr long kComplete[] = {0xEF53, 0x58465342, 0x9123683E, 0x01021994, 0x794C7630, 0xF2F52010};
  struct statfs system;
  if (fstatfs(dirfd(listing), &system) != 0 ||
      std::find(std::begin(kComplete), std::end(kComplete), system.f_type) == std::end(kComplete)) {
    closedir(listing);
    return false;
  }
  errno = 0;
  while (const dirent* entry = readdir(listing)) names->emplace_back(entry->d_name);
  const bool complete = errno == 0;
  closedir(listing);
  return complete;
}
