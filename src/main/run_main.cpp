#include "run_main.h"

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

int RunMain(const std::vector<Text>& args) {
  Terminal& console = ConsoleTerminal();
  if (AsksForHelp(args)) {
    console.Print(kUsage);
    return 0;
  }

  const Text separator = kPathSeparator;
  console.Print("current Path is:" + CurrentFolder() + separator + "\r\n");

  // Relative folders in the arguments are meant from the program's own folder, so that an
  // installer may pass paths relative to where it unpacked the tool.
  ChangeFolder(ParentPath(CommandArgument(args, 0), separator, 1) + separator);

  ProductDetails details{CommandArgument(args, 1), CommandArgument(args, 2),
                         CommandArgument(args, 3), CommandArgument(args, 4)};
  bool failed = false;
  Text result;

  const Text action = UpperText(details.action);
  if (action != "ADD" && action != "REMOVE") {
    failed = true;
    result = "Sorry, but this program failed, there a syntex error";
  }
  if (!FileExists(details.simulator_folder + separator + "scenery.cfg")) {
    failed = true;
    ShowMessage(console,
                "Sorry, but I Can't find your 'Scenery.cfg' file, please add this to your "
                "scenery library manually");
  }
  if (!IsUsable(details.product_folder) || !IsUsable(details.product_title)) {
    failed = true;
    result = "Sorry, but this program failed to find your product details";
  }

  if (!failed)
    result = EditSceneryLibrary(details, console);

  if (!result.empty()) {
    HideConsoleWindow();
    std::unique_ptr<Terminal> window = OpenResultWindow(640, 200, 32);
    if (window) {
      ShowMessage(*window, result);
    } else {
      // Nobody could press a key in a window that never opened: report and end.
      ShowConsoleWindow();
      console.Print(result);
      console.Print("\r\n");
    }
  }
  return 0;
}
