#include "run_main.h"

#include <cstdio>

#include "console.h"
#include "editor.h"
#include "files.h"
#include "result_window.h"

namespace {

const char kUsage[] =
    "Usage: sceneryreg SIMULATOR_FOLDER ADD|REMOVE PRODUCT_FOLDER \"PRODUCT TITLE\"\r\n"
    "\r\n"
    "Registers a scenery product in the simulator's scenery library, or takes it out.\r\n"
    "  ADD     appends an [Area.NNN] section for the product to SIMULATOR_FOLDER's\r\n"
    "          scenery.cfg, numbered one above the highest area, with the next layer.\r\n"
    "          Nothing is added when the title or the folder is already registered.\r\n"
    "  REMOVE  cuts out the area section that holds PRODUCT_FOLDER.\r\n"
    "\r\n"
    "Files: SIMULATOR_FOLDER's scenery.cfg is read and rewritten; the first run for a\r\n"
    "product keeps a copy of the library as it was in\r\n"
    "PRODUCT_FOLDER's scenery_beforeinstall.cfg. Relative folders are taken from the\r\n"
    "folder that holds this program. The exit code is always 0.\r\n";

// Argument n, and whether it stands as the caller typed it.
bool IsExact(const CommandLine& command_line, size_t n) {
  return n >= command_line.inexact.size() || !command_line.inexact[n];
}

// The reason behind a failed run, for whoever reads the error stream; the console transcript
// stays as it is.
void ReportError(const std::string& err) {
  if (err.empty()) return;
  std::fprintf(stderr, "sceneryreg: %s\n", err.c_str());
  std::fflush(stderr);
}

bool AsksForHelp(const std::vector<Text>& args) {
  if (args.size() != 2)
    return false;
  return args[1] == "--help" || args[1] == "-h" || args[1] == "/?";
}

// A line break inside a value would be written into the library as lines of its own.
bool HoldsLineBreak(const Text& value) {
  return value.find_first_of("\r\n") != Text::npos;
}

bool IsUsable(const Text& value) {
  return !value.empty() && !HoldsLineBreak(value);
}

}  // namespace

int RunMain(const CommandLine& command_line) {
  const std::vector<Text>& args = command_line.args;
  Terminal& console = ConsoleTerminal();
  if (AsksForHelp(args)) {
    console.Print(kUsage);
    return 0;
  }

  const Text separator = kPathSeparator;
  console.Print("current Path is:" + CurrentFolder() + separator + "\r\n");

  // Relative folders in the arguments are meant from the program's own folder, so that an
  // installer may pass paths relative to where it unpacked the tool. A program started by its
  // bare name has no folder part, and the caller's folder stays.
  const Text program = CommandArgument(args, 0);
  const Text program_folder = ParentPath(program, separator, 1);
  if (program_folder != program) ChangeFolder(program_folder + separator);

  ProductDetails details{CommandArgument(args, 1), CommandArgument(args, 2),
                         CommandArgument(args, 3), CommandArgument(args, 4)};
  bool failed = false;
  Text result;

  const Text action = UpperText(details.action);
  if ((action != "ADD" && action != "REMOVE") || !IsExact(command_line, 2)) {
    failed = true;
    result = "Sorry, but this program failed, there a syntex error";
  }
  if (!IsExact(command_line, 1) ||
      !FileExists(details.simulator_folder + separator + "scenery.cfg")) {
    failed = true;
    ShowMessage(console,
                "Sorry, but I Can't find your 'Scenery.cfg' file, please add this to your "
                "scenery library manually");
  }
  if (!IsUsable(details.product_folder) || !IsUsable(details.product_title) ||
      !IsExact(command_line, 3) || !IsExact(command_line, 4)) {
    failed = true;
    result = "Sorry, but this program failed to find your product details";
  }

  std::string err;
  if (!failed) result = EditSceneryLibrary(details, console, EditSettings(), &err);
  ReportError(err);

  if (!result.empty()) {
    // A run started hidden has nobody to answer a window: its report goes to standard output.
    std::unique_ptr<Terminal> window;
    if (!StartedHidden()) {
      HideConsoleWindow();
      window = OpenResultWindow(640, 200, 32);
      if (!window) ShowConsoleWindow();
    }
    if (window) {
      ShowMessage(*window, result);
    } else {
      // Nobody could press a key in a window that never opened: report and end.
      console.Print(result);
      console.Print("\r\n");
    }
  }
  return 0;
}
