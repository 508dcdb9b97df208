#include "platform/posix/sys/exit_status.h"

namespace ce::posix {

namespace {

bool gWriteLost = false;

}  // namespace

void noteWriteLost() {
    gWriteLost = true;
}

int exitStatusOf(int programStatus) {
    return programStatus == 0 && gWriteLost ? 1 : programStatus;
}

}  // namespace ce::posix
