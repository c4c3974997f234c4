#include "service/ImageList.h"

#include "service/ImageType.h"

namespace tarnwick {

std::string_view ImageList::FileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool ImageList::AddImage(const std::string& path) {
    const std::string_view name = FileNameOf(path);
    const std::uint8_t type = ImageTypeOf(name);
    for (std::string& entry : entries_) {
        if (type != kUnknownImageType && ImageTypeOf(entry) == type) {
            entry = path;
            return true;
        }
        // An empty name (a path ending in '/') occurs in every text; without this check it
        // would overwrite the first entry with a path that names no file.
        if (!name.empty() && entry.find(name) != std::string::npos) {
            entry = path;
            return false;
        }
    }
    entries_.push_back(path);
    return true;
}

}  // namespace tarnwick
