#pragma once

#include <QString>
#include <cstdint>

namespace tarnwick {

// The dialog's values bound to its edits: the path shown in edit 1000 and the file length
// shown in edit 1015. Dialog thread only.
struct DialogData {
    QString pathText;
    // 64 bits: a length past 2 GiB is shown as it is, not wrapped to a negative number.
    std::int64_t fileLength = 0;
};

}  // namespace tarnwick
