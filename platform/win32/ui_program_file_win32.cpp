// Files beside the launcher's executable: plain byte streams of the
// runtime library, opened in binary mode.
#include <stdio.h>

#include "platform/ui.h"
#include "platform/win32/win32_api.h"

namespace ce::ui {

static FILE* toStream(ProgramFile file) {
    return reinterpret_cast<FILE*>(file);
}

ProgramFile programFileOpen(const char16_t* path) {
    if (path == nullptr)
        return nullptr;
    return reinterpret_cast<ProgramFile>(_wfopen(win32::asWide(path), L"rb"));
}

size_t programFileRead(ProgramFile file, void* buf, size_t size) {
    if (file == nullptr || size == 0)
        return 0;
    return fread(buf, 1, size, toStream(file));
}

void programFileClose(ProgramFile file) {
    if (file != nullptr)
        fclose(toStream(file));
}

}  // namespace ce::ui
