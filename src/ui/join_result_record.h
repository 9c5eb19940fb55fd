// The join result record that the renderer reads after its join request returns: a 32-bit value
// at offset 0 of the named mapping "zarvik-sharememory-object".
#pragma once

#include <windows.h>

// Opens the mapping for writing (creating it in the paging file when it does not exist yet),
// keeps the handle in `mapping` so the record outlives the call, and stores `result`. An
// existing handle in `mapping` is reused. Failures are logged; the record then keeps its value.
void StoreJoinResult(HANDLE& mapping, int result);
