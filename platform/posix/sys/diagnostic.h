// Lines on standard error that tell a user at a PC what to fix: a device
// directory that is missing or unusable, a registry or file that cannot be
// read or written (with the host path and the system's reason), a launcher
// without a display, menu file or startable action.
//
// A line begins with the program's name in lower case and a colon
// ("qorvinstall: ", "zandoval: ", "vantrelo: "), so it is never taken for a
// message box, whose line begins with its caption ("QORV: ", "Zandoval: ").
// Diagnostics change nothing else: exit statuses, registry values and
// message boxes stay as they are (a write the device could not keep changes
// the exit status, through exit_status.h, not through its line).  The same line is written once per
// process, however often its cause is met.
#pragma once

#include <string>

namespace ce::posix {

// Writes "<program>: <text>" unless the same text was written before.
void diagnose(const std::string& text);

// The bytes of the character at text[at] (one for a byte that is no
// UTF-8), and whether it must be shown rather than sent to a terminal: a
// control character (C0, C1 or DEL), or a byte that is no UTF-8, which a
// terminal might take for a C1 one.  Every listing that quotes what anyone
// may have written decides by this.
size_t terminalCharacterAt(const std::string& text, size_t at, bool* control);

// Text as a line on a terminal shows it: each byte of a control character
// (terminalCharacterAt) as \xNN.  A line quotes file names and settings
// that anyone may have written: they must not drive the terminal of
// whoever reads them.
std::string shownControls(const std::string& text);

// The system's description of an errno value ("Permission denied").
std::string systemError(int error);

// The program's name as the lines begin with it: the name it was started
// under, in lower case.
std::string diagnosticName();

}  // namespace ce::posix
