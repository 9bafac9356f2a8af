// A fault inside a shell object (a broken shell extension loaded into the
// installer) ends the shell call that raised it, not the installation.
#pragma once

// Runs call(argument) so that a processor fault inside it (access violation,
// illegal or privileged instruction, integer division by zero or overflow,
// page error, misalignment) ends the call instead of the process. Returns true
// when call returned, false when a fault ended it; whatever the call held at
// that moment stays held. Only the calling thread's faults are taken, and only
// while the call runs; exceptions raised on purpose (C++ throws, RPC errors)
// pass by untouched. Not reentrant: one guarded call at a time.
bool RunGuarded(void (*call)(void*), void* argument);
