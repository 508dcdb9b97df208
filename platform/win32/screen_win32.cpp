// Screen metrics and the message box.
#include "platform/platform.h"
#include "platform/win32/win32_api.h"

namespace ce {

using win32::asWide;

// With the "CEUX" "HI_RES_AWARE" resource the device reports physical pixels.
int screenWidth() {
    return GetSystemMetrics(SM_CXSCREEN);
}
int screenHeight() {
    return GetSystemMetrics(SM_CYSCREEN);
}

void messageBox(const char16_t* caption, const char16_t* text) {
    MessageBoxW(nullptr, asWide(text), asWide(caption), MB_OK | MB_SETFOREGROUND);
}

}  // namespace ce
