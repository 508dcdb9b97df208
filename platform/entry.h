// Program entry shared by every backend.
//
// Each program defines programMain; the backend's own entry point (main on
// posix, wWinMain on win32) receives the command line, turns it into one
// UTF-16 text without the program name and calls it.  On posix the
// arguments after the program name are joined with one blank between each.
#pragma once

// The command line without the program name; returns the exit status.
int programMain(const char16_t* commandLine);
