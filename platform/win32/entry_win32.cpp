// Program entry on Windows: the runtime hands over the command line without
// the program name, which is exactly what programMain expects.
#include "platform/entry.h"
#include "platform/win32/win32_api.h"

#ifdef _WIN32_WCE
// The device's WinMain already receives wide text.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    return programMain(ce::win32::asU16(commandLine != nullptr ? commandLine : L""));
}
#else
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
    return programMain(ce::win32::asU16(commandLine != nullptr ? commandLine : L""));
}
#endif
