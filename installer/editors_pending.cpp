// Placeholders for the three layout editors while they are being written:
// they change nothing and report nothing.  Removed when the editors land.
#include "installer/run_context.h"

namespace qorv {

int addChangePlugin(RunContext&) {
    return 1;
}
int deletePlugin(RunContext&) {
    return 1;
}
int changeListView(RunContext&) {
    return 1;
}

}  // namespace qorv
