// Every call of the updater that changes the installation, its scratch folder or the journal
// passes through UpdateStep first. Without a hook it does nothing; tests hook it to stop the
// process at a chosen step (a kill) or to make a chosen call fail. Steps may come from more than
// one thread (members are flushed on the flush pool's threads); the hook is called for one at a
// time.
#pragma once

#include <string>

namespace zarvik {

// Returns false to make the step fail as if the system call had failed.
using UpdateStepHook = bool (*)(const char* step, const std::wstring& path);

void SetUpdateStepHook(UpdateStepHook hook);

// False when the hook refuses the step (the last error is then ERROR_ACCESS_DENIED).
bool UpdateStep(const char* step, const std::wstring& path);

}  // namespace zarvik
