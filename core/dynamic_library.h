// Shared libraries loaded at run time (format plug-ins, the PostScript interpreter), and the
// folder of the running executable they are looked for beside.
#pragma once

#include <string>

// A handle, or null when the file cannot be loaded.
void* dynamic_library_open(const char* path);
void* dynamic_library_symbol(void* library, const char* name);
void dynamic_library_close(void* library);

// The folder of the running executable, ending with the path separator ("" when unknown).
std::string executable_folder();
