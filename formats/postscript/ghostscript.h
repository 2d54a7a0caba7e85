// The PostScript interpreter library, loaded at run time only when a PostScript, EPS or PDF file
// is read. Without it those formats are simply not recognised.
#pragma once

#include <string>
#include <vector>

// Whether the interpreter library can be loaded: found out once (load, then free) and remembered.
bool ghostscript_available();

// Runs the interpreter once with this argument vector (the first element stands for the program
// name). Only the output file the arguments name matters to the callers; false when the library
// could not be loaded or lacks an entry point.
bool ghostscript_run(const std::vector<std::string>& arguments);

// The library file tried, for tests that pretend the interpreter is missing. An empty name puts
// back the system's usual choice. Forgets what was found out before.
void ghostscript_set_library_name(const char* name);

#if defined(_WIN32)
// The library an installed interpreter names in the registry: its "GS_DLL" folder with our DLL's
// name, or the bare name when no product is registered.
std::string ghostscript_registry_library();
#endif
