// Program entry shared by every backend.
//
// Each program defines programMain; the backend's own entry point (main on
// posix, wWinMain on win32) receives the command line, turns it into one
// UTF-16 text without the program name and calls it.  On posix the
// arguments after the program name are joined with one blank between each.
//
// On posix, "--help", "-h" or "--version" as the only argument is answered
// by the entry itself: it prints programUsage() or the project's version on
// standard output and exits with status 0, before programMain and without
// touching any device.  Every other command line goes to programMain.
#pragma once

// The command line without the program name; returns the exit status.
int programMain(const char16_t* commandLine);

// The program's usage text for --help and -h (posix only): each program
// defines it beside its programMain.
const char* programUsage();
