// Temporary files that are written beside a file and then renamed over it.
//
// A writer that is killed before its rename leaves its temporary file
// behind.  So that such leftovers do not pile up, every temporary file is
// named after the file it will replace, and its writer holds an exclusive
// flock on it for as long as it writes: the kernel drops the lock when the
// writer ends, however it ends.  A writer about to replace a file removes
// the temporaries of that same file whose lock it can take, which are those
// of writers that are gone; a live writer's file is never touched.
//
// Names: ".ce-tmp-<16 hex digits>-<pid>-<serial>.tmp", where the hex digits
// are a hash of the replaced file's name.  They begin with a dot and hold
// nothing of that name itself, so that no scan of the directory takes one
// for the replaced file's kind of file.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace ce::posix {

// The part of the name shared by all temporaries of destName.
std::string tempNamePrefix(std::string_view destName);

// Creates a new temporary file for destName in the directory dirFd, with
// the permissions `mode`, and takes its lock.  Returns the descriptor
// (close-on-exec, open for writing; closing it releases the lock) and the
// file's name, or -1.
int tempCreateBeside(int dirFd, std::string_view destName, mode_t mode, std::string* tempName);

// Removes the temporaries of destName in dirFd whose writers are gone.
void tempSweepBeside(int dirFd, std::string_view destName);

// Creates the temporary file `name` in dirFd, a name its caller chose, and
// takes its lock, as tempCreateBeside does.  What stands under that name is
// removed first: a link, or the file of a writer that is gone or has let
// it go; a live writer's file is waited for.  The writer keeps the lock
// until its file has taken the replaced file's name, and removes it only
// while tempNameIsFile.  Returns the descriptor or -1.
int tempCreateNamed(int dirFd, const std::string& name, mode_t mode);

// True while dirFd's entry `name` is still the file open as fd.
bool tempNameIsFile(int dirFd, const char* name, int fd);

}  // namespace ce::posix
