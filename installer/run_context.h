// The installer's per-run state, shared by the run, the layout selection,
// the three layout editors and the home screen's plugin values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace qorv {

// Size of the wide text buffers (paths, command line, long registry texts),
// terminator included.
constexpr size_t kTextChars = 8092;
constexpr uint32_t kTextBytes = kTextChars * 2;  // 16,184 bytes given to a read

enum class Action { None, AddChange, Delete, Change };

struct RunContext {
    bool silent = false;
    ce::RegKey runRecord = nullptr;  // HKCU SOFTWARE\QORV; may be null
    ce::RegKey homeKey = nullptr;    // HKLM SOFTWARE\Microsoft\CHome
    Action action = Action::None;

    char16_t commandLine[kTextChars] = {};
    char16_t plgPath[kTextChars] = {};     // addchange only
    char16_t targetCpr[kTextChars] = {};   // the one layout file edited
    char16_t pluginName[kTextChars] = {};  // delete only

    bool landscape = false;
    bool currentLayout = false;
    bool forbidden = false;
    bool titaniumView = false;  // change only
    bool bronzeView = false;    // change only
    bool keepHomeRegistry = false;
    bool keepLayout = false;

    int screenWidth = 0;
    int screenHeight = 0;

    // Layout selection's pending CPRFile fix-up (fallback layout name).
    bool cprFixupPending = false;
    char16_t cprFixupName[512] = {};

    uint32_t resultCode = 0;
    // "#0 Success" from the start of a run; left empty here so that the
    // program's context costs no file space.
    char16_t resultText[kTextChars] = {};
};

// Sets the result code and text without showing or recording anything.
void setResult(RunContext& ctx, uint32_t code, const char16_t* text);

// Writes "ErrorDescription" then "ErrorNumber" into the run record.
void recordResult(RunContext& ctx);

// The editors.  Each reads the context and reports only through the result
// code and text; the return value is always 1 and is not used.
int addChangePlugin(RunContext& ctx);
int deletePlugin(RunContext& ctx);
int changeListView(RunContext& ctx);

}  // namespace qorv
