#pragma once

#include <cstdio>

// Runs one lumeva-cli command line (argv[0] is the program name); returns the exit status.
int cli_run(int argc, char** argv, FILE* out, FILE* err);
