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
//
// Where a program keeps its big buffers: each program has one state of its
// own for the whole process, in static storage (the installer's run
// context, the scanner's run, the launcher's process state), and every
// fixed buffer larger than a name (2 KB) lives there and nowhere else: not
// on a routine's stack, in a function static or on the heap.  The reason,
// stated here once: a thread's stack on the device is small (tens of
// kilobytes) while a program needs tens to hundreds of kilobytes of fixed
// buffers; each program works one step at a time on one thread, so one
// buffer per purpose is enough; and zero-filled static storage takes no
// room in the program file and cannot fail to be had once the program runs.
#pragma once

// The command line without the program name; returns the exit status.
int programMain(const char16_t* commandLine);

// The program's usage text for --help and -h (posix only): each program
// defines it beside its programMain.
const char* programUsage();
