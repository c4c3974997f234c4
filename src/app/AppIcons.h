#pragma once

#include <QIcon>
#include <QPixmap>

namespace tarnwick {

// The tool's three icons, drawn in code so they need no image plugin: 128 the application (a
// flash chip taking data), 129 a green plug (programmer present), 130 a red crossed-out plug
// (no programmer). The SVG files in res/icons/ are the same drawings for the desktop.
// Dialog thread only (QPixmap); never fails: an unknown resource gives a null pixmap.
class AppIcons {
  public:
    static constexpr int kSize = 32;

    static QPixmap Pixmap(int resource, int size = kSize);
    // 16 and 32 pixels, for the window.
    static QIcon Icon(int resource);
};

}  // namespace tarnwick
