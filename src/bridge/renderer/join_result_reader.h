// The renderer's read of the join result record that the main window leaves in a named file
// mapping while it handles a join request.
#pragma once

#include <windows.h>

// The signed 32-bit value at offset 0 of the mapping `name`, or kJoinResultUnavailable (65535)
// when the mapping does not exist or cannot be mapped. Failures go to the debugger output.
int ReadJoinResult(const wchar_t* name);
