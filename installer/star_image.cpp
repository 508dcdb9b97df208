#include "installer/star_image.h"

#include "installer/run_context.h"
#include "platform/reg_values.h"

namespace qorv {

void updateStarImage(const RunKeys& keys, RunBuffers& buffers) {
    uint32_t installed = 0;
    if (!ce::regReadDword(keys.runRecord, u"QORVCompleteInstalled", &installed) || installed == 0) {
        return;
    }
    char16_t* starPath = buffers.starPath;
    if (!ce::regReadStringBytes(keys.runRecord, u"is2StarPath", starPath, kStarPathBytes / 2,
                                kStarPathBytes)) {
        return;
    }
    ce::RegKey page =
        ce::regOpenKey(ce::Hive::LocalMachine, u"SOFTWARE\\Microsoft\\CHome\\QORV\\Page1");
    if (page == nullptr)
        return;
    ce::regWriteString(page, u"starPNG", starPath);
    ce::regCloseKey(page);

    ce::RegKey qorv = ce::regOpenKey(ce::Hive::LocalMachine, u"SOFTWARE\\Microsoft\\CHome\\QORV");
    if (qorv == nullptr)
        return;
    ce::regWriteDword(qorv, u"Updated", 1);
    ce::regCloseKey(qorv);
}

}  // namespace qorv
