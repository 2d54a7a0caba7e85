// Between the registry and the plug-in layer, which appends rows to it.
#pragma once

#include <mutex>

#include "core/format.h"

std::mutex& registry_mutex();
// Makes room for at least `count` more rows (the array grows 65 rows at a time). Rows handed out
// before the call may move; none move until the next call.
bool registry_reserve(int count);
// A zeroed row at the end of the registry, or null when no room was reserved for it.
FormatEntry* registry_append_row();
int registry_index_of(const FormatEntry* row);
// Forgets the rows from `count` on (rows a refused plug-in had added; their names are freed).
void registry_truncate(int count);
