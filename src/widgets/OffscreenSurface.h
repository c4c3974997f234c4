#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

namespace tarnwick {

// Collects one paint of the area to repaint in an image and puts it on the target with a single
// copy when it goes out of scope, so the screen never shows a half-drawn bar. Drawing uses the
// target's coordinates; anything outside the area falls off the image. UI thread only; lives for
// one paint.
class OffscreenSurface {
  public:
    OffscreenSurface(QPainter& target, const QRect& area);
    ~OffscreenSurface();

    OffscreenSurface(const OffscreenSurface&) = delete;
    OffscreenSurface& operator=(const OffscreenSurface&) = delete;

    QPainter& painter() { return painter_; }

  private:
    QPainter& target_;
    QRect area_;
    QImage image_;
    QPainter painter_;
};

}  // namespace tarnwick
