// Every pause the library makes (retry sleeps, the firmware-mode settle time) goes through here,
// so tests can record the pauses instead of waiting them out.
#pragma once

namespace qv::mgmtctl {

using PauseHook = void (*)(int ms);

// Replaces the real wait while set; nullptr restores it. For tests only.
void setPauseHookForTests(PauseHook hook);

// Waits `ms` on the monotonic clock (or reports it to the hook).
void pauseSteady(int ms);

// The hook in force, or nullptr.
PauseHook pauseHook();

} // namespace qv::mgmtctl
