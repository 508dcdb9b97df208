/* A library for LD_PRELOAD in tests: it kills its process with SIGKILL at
 * the N-th rename the process makes, just before it or just after it, as
 * the environment variable CE_TEST_KILL_AT_RENAME says ("N:before" or
 * "N:after").  Every durable replacement the programs make (a registry
 * commit, a file copied over another) ends in a rename, so the N-th rename
 * names one point of a run without any timing. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int renames;

static void killIfDue(int after) {
    const char* setting = getenv("CE_TEST_KILL_AT_RENAME");
    if (setting == NULL)
        return;
    const char* colon = strchr(setting, ':');
    int wantAfter = colon != NULL && strcmp(colon + 1, "after") == 0;
    if (atoi(setting) == renames && wantAfter == after)
        kill(getpid(), SIGKILL);
}

int rename(const char* from, const char* to) {
    int (*real)(const char*, const char*) =
        (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    ++renames;
    killIfDue(0);
    int result = real(from, to);
    killIfDue(1);
    return result;
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    int (*real)(int, const char*, int, const char*) =
        (int (*)(int, const char*, int, const char*))dlsym(RTLD_NEXT, "renameat");
    ++renames;
    killIfDue(0);
    int result = real(fromDir, from, toDir, to);
    killIfDue(1);
    return result;
}
