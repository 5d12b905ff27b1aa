#include "folder_probe.h"

#include <algorithm>

namespace {

// A folder is listed once this many names were missing from it.
constexpr int kMissesBeforeListing = 64;

char Lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

std::string LoweredName(std::string_view name) {
  std::string lowered(name);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lowered);
  return lowered;
}

bool IsAscii(std::string_view name) {
  return std::none_of(name.begin(), name.end(), [](char c) { return (c & 0x80) != 0; });
}

}  // namespace

bool ListingRulesOut(std::string_view name, const std::unordered_set<std::string>& lowered_names,
                     bool ascii_listing) {
  if (!ascii_listing || name.empty() || name == "." || name == ".." || !IsAscii(name) ||
      name.find('~') != std::string_view::npos || name.back() == '.' || name.back() == ' ')
    return false;
  return !lowered_names.contains(LoweredName(name));
}

bool FolderProbe::EntryExists(std::string_view written) {
  const Text path = EntryFolder(simulator_folder_, written);
  const std::string separators = std::string("/") + kPathSeparator;
  std::string_view trimmed = path;
  while (trimmed.size() > 1 && separators.find(trimmed.back()) != std::string::npos)
    trimmed.remove_suffix(1);
  const size_t cut = trimmed.find_last_of(separators);
  if (cut == std::string_view::npos) return IsFolder(path);
  // The folder keeps its separator, so that "/" and "C:\" stay roots.
  const Text folder(trimmed.substr(0, cut + 1));
  const std::string_view name = trimmed.substr(cut + 1);
  Parent& parent = parents_[folder];
  if (parent.listed && ListingRulesOut(name, parent.names, parent.ascii)) return false;
  if (IsFolder(path)) return true;
  if (!parent.listed && ++parent.misses == kMissesBeforeListing) {
    std::vector<std::string> names;
    parent.listed = true;
    parent.ascii = ListFolder(folder, &names) && std::all_of(names.begin(), names.end(), IsAscii);
    for (const std::string& listed : names) parent.names.insert(LoweredName(listed));
  }
  return false;
}
