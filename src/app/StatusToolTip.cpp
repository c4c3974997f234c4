#include "app/StatusToolTip.h"

#include "app/AppTexts.h"
#include "app/UiLanguage.h"

namespace tarnwick {

QString StatusToolTip(const ProgrammerPresence& presence) {
    if (!presence) {
        return Ui(texts::kNoProgrammerFound);
    }
    const QString drive = QString::fromStdString(presence->driveName);
    const QString port = QString::fromStdString(presence->usbPort);
    const bool hasPort = !port.isEmpty();
    if (!presence->usbSerial) {
        return hasPort ? Ui(texts::kPresentOnPort).arg(drive, port)
                       : Ui(texts::kPresentOn).arg(drive);
    }
    const QString serial = QString::fromStdString(*presence->usbSerial);
    return hasPort ? Ui(texts::kPresentOnPortSerial).arg(drive, port, serial)
                   : Ui(texts::kPresentOnSerial).arg(drive, serial);
}

}  // namespace tarnwick
