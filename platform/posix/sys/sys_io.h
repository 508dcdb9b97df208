// The system calls of the posix backend, behind one table.
//
// Every call the backend makes on files, directories and locks goes
// through `sysCalls()`, a table of function pointers that starts out
// holding the kernel's own calls.  A test may replace entries to fail the
// Nth call of a kind, shorten a transfer or end the process at a chosen
// call; programs never touch it.  With the table untouched a call costs one
// indirect jump more than calling the kernel directly.
//
// Above the table sit the only retry loops of the backend: a call
// interrupted by a signal (EINTR) is made again, and a short read or write
// goes on where it stopped, so callers see either the whole transfer or a
// real failure.  The lock helper is the one way the backend takes an
// exclusive lock on a file.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace ce::posix {

struct SysCalls {
    int (*openat)(int dirFd, const char* name, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* buf, size_t size);
    ssize_t (*write)(int fd, const void* buf, size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*fstat)(int fd, struct stat* st);
    int (*fstatat)(int dirFd, const char* name, struct stat* st, int flags);
    int (*renameat)(int fromDir, const char* from, int toDir, const char* to);
    int (*unlinkat)(int dirFd, const char* name, int flags);
    int (*mkdirat)(int dirFd, const char* name, mode_t mode);
    int (*linkat)(int fromDir, const char* from, int toDir, const char* to, int flags);
    ssize_t (*readlinkat)(int dirFd, const char* name, char* buf, size_t size);
    long (*getdents64)(int fd, void* buf, size_t size);
    off_t (*lseek)(int fd, off_t offset, int whence);
    int (*flock)(int fd, int operation);
    int (*fchmod)(int fd, mode_t mode);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*dupCloexec)(int fd);
    ssize_t (*pread)(int fd, void* buf, size_t size, off_t offset);
    // copy_file_range: from `from` at *fromOffset (advanced) to `to` at its
    // file position.
    ssize_t (*copyFileRange)(int from, off_t* fromOffset, int to, size_t size);
    // fcntl with an integer argument (F_GETFL, F_SETFL).
    int (*fcntl)(int fd, int command, int argument);
    int (*faccessat)(int dirFd, const char* name, int mode, int flags);
    // realpath with a result allocated by malloc.
    char* (*realpath)(const char* path);
    // madvise: advice only; a refusal changes nothing but speed.
    int (*madvise)(void* addr, size_t size, int advice);
    // sync_file_range: starts writing a range of a file to the disk; it
    // makes nothing durable (only fsync does).
    int (*syncFileRange)(int fd, off_t offset, off_t size, unsigned flags);
};

// The table in force.  Tests write to it; restoreSysCalls puts the
// kernel's calls back.
SysCalls& sysCalls();
void restoreSysCalls();

// Path-taking shorthands for callers that hold no directory descriptor.
int sysOpen(const char* path, int flags, mode_t mode = 0);
int sysStat(const char* path, struct stat* st);
int sysRename(const char* from, const char* to);
int sysUnlink(const char* path);
int sysRmdir(const char* path);
int sysMkdir(const char* path, mode_t mode);
// A folder of the device's own (run/ and what lies in it): made when
// missing, as sysMkdir makes it, and given as giveToFolderOwner gives.
int sysMakeDeviceFolder(const char* path, mode_t mode);
int sysLink(const char* from, const char* to);
// Closes fd when it is open; the result of close() otherwise 0.
int sysClose(int fd);

// open/openat made again while interrupted.
int openRetrying(int dirFd, const char* name, int flags, mode_t mode = 0);

// One read, made again while interrupted: the count read (0 at the end),
// or -1.
ssize_t readRetrying(int fd, void* buf, size_t size);

// pread going on after interruptions and short reads until size bytes or
// the end of the file.  The count read, or -1.
ssize_t preadFull(int fd, void* buf, size_t size, off_t offset);

// Reads up to size bytes, going on after interruptions and short reads
// until size bytes or the end of the file.  The count read, or -1.
ssize_t readFull(int fd, void* buf, size_t size);

// Writes all size bytes, going on after interruptions and short writes.
// False when the descriptor refuses (a full disk, say), with errno set.
bool writeAll(int fd, const void* data, size_t size);

// writeAll for a file written from its start and flushed right after
// (syncFd): each megabyte but the last is handed to the disk as soon as it
// is written, so the flush waits for the tail instead of the whole file.
// Nothing is durable before the flush, just as with writeAll.
bool writeAllWritingBehind(int fd, const void* data, size_t size);

// fsync made again while interrupted.
bool syncFd(int fd);

// Reads a directory's next entries (getdents64), again while interrupted.
long readDirEntries(int fd, void* buf, size_t size);

// The names in the directory at path (relative to dirFd), without "." and
// "..", in the order the file system lists them.  False when the
// directory cannot be opened or read; names then holds what was read.
bool listDirectoryNames(int dirFd, const char* path, std::vector<std::string>* names);

// A file or folder that a run as root made in a device is given to the
// owner of the folder it lies in: the device's owner could not go on using
// a lock or a folder that root had made (its later runs went ahead without
// a lock, or could write nothing).  Nothing changes for other users, for
// what root does not own, or in a folder that is root's.  fd is open on
// the file or folder at path.
void giveToFolderOwner(int fd, const std::string& path);

// Asks for the memory [data, data + size) to be backed by large pages
// where whole ones fit in it.  A buffer of many megabytes that is filled at
// once then takes a few page faults instead of thousands; the memory is
// the same.  Without large pages nothing changes.
void adviseLargePages(void* data, size_t size);

// Holds each closed standard stream's number (0, 1, 2) with /dev/null, first
// thing in a program: else the next file opened (the registry's lock, a
// layout, the display's connection) would take its number, and output meant
// for the stream would be written into that file.  The stream still fails
// as a closed one does: an export to a closed standard output is an error,
// not an export into nothing.
void openStandardStreams();

// Clears O_NONBLOCK on fd (set to open a file without waiting on a FIFO).
bool clearNonBlocking(int fd);

// flock made again while interrupted; operation as for flock (LOCK_EX,
// with LOCK_NB to fail at once when another holds it).
bool lockRetrying(int fd, int operation);

// Opens the lock file at path, creating it when absent; one that may only
// be read (another user's) is opened for reading, which is all a lock
// needs.  -1 with errno set (the refusal to make it, when there is none).
int openLockFile(const std::string& path, int extraFlags);

// Opens (creating it when absent) the lock file at path and holds an
// exclusive lock on it, waiting for other holders; one that may only be
// read (another user's) is locked through a descriptor for reading.  The descriptor, whose
// closing releases the lock, or -1 with errno set.  extraFlags is added
// to the open flags (O_NOFOLLOW, say).
int lockFileExclusive(const std::string& path, int extraFlags);

}  // namespace ce::posix
