#include "run_main.h"

#include <cstdio>

#include "console.h"
#include "editor.h"
#include "files.h"
#include "inspect.h"
#include "result_window.h"
#include "version.h"

namespace {

const char kUsage[] =
    "Usage: sceneryreg [--unattended] [--dry-run] SIMULATOR_FOLDER ADD|REMOVE\r\n"
    "                  PRODUCT_FOLDER \"PRODUCT TITLE\"\r\n"
    "       sceneryreg SIMULATOR_FOLDER LIST|CHECK\r\n"
    "       sceneryreg --help | --version\r\n"
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
    "folder that holds this program.\r\n"
    "\r\n"
    "Without --unattended, messages wait for a key, the report waits in a window and\r\n"
    "the exit code is always 0. With --unattended, for installers, nothing waits, no\r\n"
    "window opens, every message goes to standard output, and the exit code says what\r\n"
    "happened.\r\n"
    "\r\n"
    "These only read the library, write nothing anywhere and never wait:\r\n"
    "  --dry-run  prints what the run would print, then the change to the library as\r\n"
    "             a unified diff (a/scenery.cfg, b/scenery.cfg; none when nothing would\r\n"
    "             change), and exits as the run would: --dry-run C:\\Sim ADD C:\\Alps Alps\r\n"
    "             exits 10 when Alps is registered, 0 when it would be added.\r\n"
    "  LIST       prints a tab-separated heading, area layer active title folder, then\r\n"
    "             one row per area section, values as in the file; a byte below 32,\r\n"
    "             127 or % is written as % and two hex digits (a tab as %09):\r\n"
    "             sceneryreg C:\\Sim LIST\r\n"
    "  CHECK      prints \"line N: \" and a finding for each problem (area numbers or\r\n"
    "             layers used twice, a section without folder or layer, a folder\r\n"
    "             registered twice or missing, a library that cannot be edited), then\r\n"
    "             a summary: sceneryreg C:\\Sim CHECK\r\n"
    "\r\n"
    "Exit codes (with --unattended, --dry-run, LIST or CHECK):\r\n";

// The exit codes of --unattended, as the usage lists them.
const struct {
  Outcome outcome;
  const char* meaning;
} kExitCodes[] = {
    {Outcome::Done, "done: the product was added, or removed"},
    {Outcome::AlreadyRegistered, "not added: its title and folder are already registered"},
    {Outcome::FolderTaken, "not added: its folder is registered under another title"},
    {Outcome::TitleTaken, "not added: its title is registered with another folder"},
    {Outcome::NothingToRemove, "not removed: its folder is not in the library"},
    {Outcome::NotEditable, "nothing changed: no numbered area or layer, or no section to cut"},
    {Outcome::LibraryNotFound, "no scenery.cfg in SIMULATOR_FOLDER"},
    {Outcome::BadArguments,
     "wrong action, or product details empty, broken or outside the code page"},
    {Outcome::LibraryNotSaved, "the library could not be read, saved or locked, or is too large"},
    {Outcome::Findings, "CHECK found problems in the library"},
};

Text Usage() {
  Text usage = kUsage;
  for (const auto& code : kExitCodes) {
    const Text number = NumberToText(static_cast<int>(code.outcome));
    usage += Text(4 - number.size(), ' ') + number + "  " + code.meaning + "\r\n";
  }
  return usage;
}

// Prints on the console and never waits for a key: nobody is there to press one.
class UnattendedConsole : public Terminal {
 public:
  explicit UnattendedConsole(Terminal& console) : console_(console) {}
  void Print(const Text& text) override { console_.Print(text); }
  int WaitForKey() override { return 0; }

 private:
  Terminal& console_;
};

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
  if (args.size() != 2) return false;
  return args[1] == "--help" || args[1] == "-h" || args[1] == "/?";
}

bool AsksForVersion(const std::vector<Text>& args) {
  return args.size() == 2 && args[1] == "--version";
}

// A line break inside a value would be written into the library as lines of its own.
bool HoldsLineBreak(const Text& value) { return value.find_first_of("\r\n") != Text::npos; }

bool IsUsable(const Text& value) { return !value.empty() && !HoldsLineBreak(value); }

}  // namespace

int RunMain(const CommandLine& command_line) {
  const std::vector<Text>& args = command_line.args;
  Terminal& console = ConsoleTerminal();
  if (AsksForHelp(args)) {
    console.Print(Usage());
    return 0;
  }
  if (AsksForVersion(args)) {
    console.Print("sceneryreg " SCENERYREG_VERSION_TEXT "\r\n");
    return 0;
  }
  // Switches stand before the simulator folder, in any order. Another word that begins with
  // "--" there is an unknown switch, unless four arguments follow from it on: then it is the
  // simulator folder, as it always was.
  bool unattended = false, dry_run = false;
  Text unknown_switch;
  int first = 1;
  for (; first < static_cast<int>(args.size()) && args[first].starts_with("--"); ++first) {
    if (args[first] == "--unattended") {
      unattended = true;
    } else if (args[first] == "--dry-run") {
      dry_run = true;
    } else if (args.size() - first == 4) {
      break;
    } else if (unknown_switch.empty()) {
      unknown_switch = args[first];
    }
  }
  // The read-only runs never wait and always tell by their exit code.
  unattended = unattended || dry_run;
  const Text word = UpperText(CommandArgument(args, first + 1));
  const bool inspecting = word == "LIST" || word == "CHECK";
  if (!unknown_switch.empty() || (inspecting && (dry_run || args.size() - first != 2))) {
    console.Print(Usage());
    ReportError(unknown_switch.empty() ? word + " takes the simulator folder alone"
                                       : "unknown switch " + unknown_switch);
    return static_cast<int>(Outcome::BadArguments);
  }
  UnattendedConsole unattended_console(console);
  Terminal& messages = unattended ? unattended_console : console;

  const Text separator = kPathSeparator;
  if (!inspecting) console.Print("current Path is:" + CurrentFolder() + separator + "\r\n");

  // Relative folders in the arguments are meant from the program's own folder, so that an
  // installer may pass paths relative to where it unpacked the tool. A program started by its
  // bare name has no folder part, and the caller's folder stays.
  const Text program = CommandArgument(args, 0);
  const Text program_folder = ParentPath(program, separator, 1);
  if (program_folder != program) ChangeFolder(program_folder + separator);

  if (inspecting) {
    std::string err;
    Outcome outcome = Outcome::LibraryNotFound;
    if (!IsExact(command_line, first))
      err = "the simulator folder holds a character the system code page cannot hold";
    else if (word == "LIST")
      outcome = ListSceneryLibrary(args[first], console, &err);
    else
      outcome = CheckSceneryLibrary(args[first], console, &err);
    ReportError(err);
    return static_cast<int>(outcome);
  }

  ProductDetails details{CommandArgument(args, first), CommandArgument(args, first + 1),
                         CommandArgument(args, first + 2), CommandArgument(args, first + 3)};
  bool failed = false;
  Text result;
  Outcome outcome = Outcome::Done;

  const Text action = UpperText(details.action);
  if ((action != "ADD" && action != "REMOVE") || !IsExact(command_line, first + 1)) {
    failed = true;
    result = "Sorry, but this program failed, there a syntex error";
    outcome = Outcome::BadArguments;
  }
  // Only a library that is not there is missing: one that is there but cannot be read (held
  // by another program, denied) cannot be saved either.
  std::string err;
  const Text library = details.simulator_folder + separator + "scenery.cfg";
  const Presence found =
      IsExact(command_line, first) ? FileExists(library, &err) : Presence::kAbsent;
  if (found == Presence::kFailed && outcome == Outcome::Done) {
    failed = true;
    result = kSaveFailureText;
    outcome = Outcome::LibraryNotSaved;
  }
  if (found == Presence::kAbsent) {
    err.clear();
    failed = true;
    ShowMessage(messages,
                "Sorry, but I Can't find your 'Scenery.cfg' file, please add this to your "
                "scenery library manually");
    // Wrong arguments are the caller's mistake whatever the folder holds: they keep the code.
    if (outcome == Outcome::Done) outcome = Outcome::LibraryNotFound;
  }
  if (!IsUsable(details.product_folder) || !IsUsable(details.product_title) ||
      !IsExact(command_line, first + 2) || !IsExact(command_line, first + 3)) {
    failed = true;
    result = "Sorry, but this program failed to find your product details";
    outcome = Outcome::BadArguments;
  }

  Text diff;
  if (!failed && dry_run) {
    DryRun dry = DryRunEdit(details, messages, &err);
    result = dry.edit.result_text;
    outcome = dry.edit.outcome;
    diff = dry.diff;
  } else if (!failed) {
    EditResult edit = EditSceneryLibrary(details, messages, EditSettings(), &err);
    result = edit.result_text;
    outcome = edit.outcome;
  }
  ReportError(err);

  if (!result.empty() && unattended) {
    ShowMessage(messages, result);
  } else if (!result.empty()) {
    // A run started hidden has nobody to answer a window: its report goes to standard output.
    const bool visible = !StartedHidden();
    const bool hidden = visible && HideConsoleWindow();
    std::unique_ptr<Terminal> window = visible ? OpenResultWindow(640, 200, 32) : nullptr;
    const bool shown = window != nullptr;
    if (shown) ShowMessage(*window, result);
    window.reset();
    // Whatever runs in the console next, or this run's own report, needs it seen again.
    if (hidden) ShowConsoleWindow();
    if (!shown) {
      // Nobody could press a key in a window that never opened: report and end.
      console.Print(result);
      console.Print("\r\n");
    }
  }
  if (dry_run) console.Print(diff + "Dry run: nothing was written.\r\n");
  return unattended ? static_cast<int>(outcome) : 0;
}
