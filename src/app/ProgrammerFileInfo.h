#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarnwick {

// What the programmer file-information display shows: the file version (two words), the chip
// model and the text file whose lines fill the log list. The dialog's initialisation resets the
// first version word and the chip model; nothing else in the tool writes them yet.
// Dialog thread only.
struct ProgrammerFileInfo {
    std::array<std::uint32_t, 2> version{0, 0};
    std::string chipModel;
    std::string infoTextPath;
};

}  // namespace tarnwick
