#pragma once

#include <cstdio>

// lumeva-cli turn (--auto | --left | --right | --half | --flip-h | --flip-v) FILE...
//     [--out-dir DIR] [--allow-recompress]
int command_turn(int argc, char** argv, FILE* out, FILE* err);
