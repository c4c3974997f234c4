#include <cerrno>

#include "jobs/FileKind.h"
#include "jobs/ReadBack.h"
#include "jobs/windows/FileStat.h"

namespace tarnwick {

Result<void> FlashReadBack::Create(const std::string& outputPath) {
    // Checked before truncating: a device or pipe must neither be written to nor removed when
    // the read-back fails.
    struct _stat64 st {};
    if (StatUtf8(outputPath, st) == 0) {
        if (auto regular = RequireRegularFile(outputPath, st.st_mode); !regular) {
            return regular;
        }
    }
    file = OpenUtf8(outputPath, L"wb");
    if (file == nullptr) {
        return SystemFault(outputPath, errno);
    }
    return {};
}

}  // namespace tarnwick
