// Screen size of the emulated device, from device.conf.
#include "platform/platform.h"
#include "platform/posix/device/device_conf.h"

namespace ce {

int screenWidth() {
    return posix::readDeviceConf().screenWidth;
}
int screenHeight() {
    return posix::readDeviceConf().screenHeight;
}

}  // namespace ce
