// The shell library's start-up initialisation: nothing to prepare off the
// device.
#include "platform/platform.h"

namespace ce {

void shellStartup() {}

}  // namespace ce
