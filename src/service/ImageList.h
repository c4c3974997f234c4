#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// The image files registered in this session, as full UTF-8 paths in registration order.
// Entries are appended or replaced in place, never removed or reordered. The application owns
// the one instance; it lives for the session and is never saved. Used from the dialog's thread
// only, so nothing is locked.
class ImageList {
  public:
    // Registers `path`. The first entry, in list order, that either has the same known image
    // type as the file (the entry's whole path is classified, directories included) or
    // contains the file name anywhere is replaced by `path`; with no such entry the path is
    // appended.
    // Returns false exactly when an entry was replaced because it already contained the file
    // name (and not because of its type): the caller then tells the user that the file is
    // already there. Never fails; the list grows as needed.
    [[nodiscard]] bool AddImage(const std::string& path);

    std::size_t Count() const { return entries_.size(); }
    // Throws std::out_of_range for an index >= Count().
    const std::string& At(std::size_t index) const { return entries_.at(index); }

    // The part of `path` after its last '/', or the whole path when it has none.
    static std::string_view FileNameOf(std::string_view path);

  private:
    std::vector<std::string> entries_;
};

}  // namespace tarnwick
