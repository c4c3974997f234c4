#pragma once

#include <cstdint>
#include <string_view>

#include "display/DisplayCommand.h"

namespace tarnwick {

// Colours are 0x00BBGGRR values.
struct BarColours {
    std::uint32_t start;
    std::uint32_t end;
    bool operator==(const BarColours&) const = default;
};

// Red to blue while a job runs.
inline constexpr BarColours kWorkingColours{0x000000FF, 0x00FF0000};
// The result pairs differ by one in blue on purpose: the bar then paints a single band in the
// start colour instead of a gradient between two equal colours.
inline constexpr BarColours kSuccessColours{0x0001FF00, 0x0000FF00};
inline constexpr BarColours kFailureColours{0x000100FF, 0x000000FF};

// The three display elements a display command changes. Implemented by the dialog's real
// controls and by fakes in tests; called on the display's own thread only.
class DisplayTarget {
  public:
    virtual ~DisplayTarget() = default;
    virtual int LogLineCount() const = 0;
    virtual void DeleteLogLine(int index) = 0;
    virtual void AppendLogLine(std::string_view text) = 0;
    virtual void SetBarColours(BarColours colours) = 0;
    virtual void SetBarPos(int pos) = 0;
    virtual void EnableUpdateButton(bool enabled) = 0;
};

// Carries out one display command on the target. Unknown commands change nothing.
void ApplyDisplayMessage(DisplayTarget& target, const DisplayMessage& message);

// Deletes the first line until the list is empty.
void ClearLog(DisplayTarget& target);

}  // namespace tarnwick
