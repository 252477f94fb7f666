#pragma once

#include <windows.h>

namespace morvane {

// Ends this process afterMs milliseconds from now, whatever the program is doing then (waiting on
// a hung CAD application, say); 0 ends it at once and does not return. Only the first call with a
// time counts: a later one never moves the end further away. TerminateProcess, not ExitProcess:
// the UI thread may be inside an outgoing COM call, and ExitProcess would stop COM's other threads
// wherever they are and then run every DLL's detach code, which deadlocks on a lock one of them
// held. Nothing of the program's needs flushing. Never throws.
void EndProcessAfter(DWORD afterMs) noexcept;

}  // namespace morvane
