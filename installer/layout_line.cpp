#include "installer/layout_line.h"

namespace qorv {

ReadStatus readLayoutLine(ce::File file, LayoutLine& line) {
    line.length = ce::fileReadLine(file, line.text, kLineBytes);
    line.text[line.length] = 0;
    if (line.length > 0)
        return ReadStatus::Line;
    return ce::fileAtEnd(file) ? ReadStatus::End : ReadStatus::Failed;
}

}  // namespace qorv
