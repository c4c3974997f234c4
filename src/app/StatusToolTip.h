#pragma once

#include <QString>

#include "link/ProgrammerPresence.h"

namespace tarnwick {

// The status icon's tooltip: in words what the icon shows, in the dialog's language. Present:
// the drive, with its USB port path and serial when known, so a person can tell which of the
// plugs on the bench it is. None: how to find out why, and how to get access without root.
QString StatusToolTip(const ProgrammerPresence& presence);

}  // namespace tarnwick
