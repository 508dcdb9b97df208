// What the exit status of a program owes to the emulated device.
//
// On the phone the registry keeps every write, so the programs never look
// at whether a write was kept.  A device directory on a PC can refuse one
// (it is read-only, or the lock beside the registry cannot be made); the
// store then says so on standard error, and the run must not end with the
// status of success while its values are gone.
#pragma once

namespace ce::posix {

// Notes that a write the program made could not be kept.
void noteWriteLost();

// The program's own status, or 1 when it is 0 but a write was lost.
int exitStatusOf(int programStatus);

}  // namespace ce::posix
