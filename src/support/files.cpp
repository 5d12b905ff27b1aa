#include "files.h"

namespace {

// Between the target's name and the unique part, so leftovers can be told from user files.
const char kTemporaryInfix[] = ".sceneryreg-";
const char kTemporarySuffix[] = ".tmp";

}  // namespace

std::optional<Text> ReadWholeFile(const Text& path, bool quiet, Terminal& terminal) {
  Text content;
  int error = ReadFileBytes(path, content);
  if (error == 0) return content;
  if (!quiet) {
    ShowMessage(terminal,
                "Error opening file: " + path + "   Errorcode=" + NumberToText(error));
  }
  return std::nullopt;
}

Text TemporaryName(const Text& target_name, const Text& unique) {
  return target_name + kTemporaryInfix + unique + kTemporarySuffix;
}

bool IsTemporaryName(const Text& target_name, const Text& name) {
  Text prefix = target_name + kTemporaryInfix;
  Text suffix = kTemporarySuffix;
  // The unique part is never empty, so a bare "<name>.sceneryreg-.tmp" is somebody else's.
  return name.size() > prefix.size() + suffix.size() &&
         name.compare(0, prefix.size(), prefix) == 0 &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

Text CommandArgument(const std::vector<Text>& args, int n) {
  if (n < 0 || n >= static_cast<int>(args.size())) return Text();
  return args[n];
}
