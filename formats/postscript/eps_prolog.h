// The PostScript procedures every written EPS file carries. The last one is left open: the
// writer closes it.
#pragma once

extern const char* const eps_prolog[];
extern const int eps_prolog_lines;
