// Lines that tell a person at a PC what to fix are a posix matter: the
// device has no console to show them, and a message box would change what
// the programs' callers see.
#include "platform/platform.h"

namespace ce {

void diagnostic(const char16_t*) {}

}  // namespace ce
