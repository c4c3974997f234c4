#include "widgets/OffscreenSurface.h"

#include <QPaintDevice>

namespace tarnwick {
namespace {

QImage ImageFor(const QPainter& target, const QRect& area) {
    // Sized in device pixels so a scaled screen gets a sharp copy, not a stretched one.
    const qreal ratio = target.device() != nullptr ? target.device()->devicePixelRatioF() : 1.0;
    QImage image(area.size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    return image;
}

}  // namespace

OffscreenSurface::OffscreenSurface(QPainter& target, const QRect& area)
    : target_(target), area_(area), image_(ImageFor(target, area)), painter_(&image_) {
    painter_.translate(-area_.topLeft());
}

OffscreenSurface::~OffscreenSurface() {
    painter_.end();
    target_.drawImage(area_.topLeft(), image_);
}

}  // namespace tarnwick
