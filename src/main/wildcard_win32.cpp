// Asks the MinGW-w64 start-up code to expand * and ? in arguments into matching file names,
// as installers written for this tool expect of the Windows C runtime.
extern "C" int _dowildcard = -1;
