#include "widgets/GradientProgressBar.h"

#include <algorithm>

#include <QColor>
#include <QPaintEvent>
#include <QPainter>
#include <QString>

#include "widgets/GradientLayout.h"
#include "widgets/OffscreenSurface.h"

namespace tarnwick {
namespace {

// A repaint costs far more than a page at a fast programmer: ten a second is what people read.
constexpr qint64 kMoveIntervalMs = 100;

QColor ToQColor(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>((colour >> 16) & 0xFFu));
}

std::uint32_t ToColorRef(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) |
           static_cast<std::uint32_t>(colour.green()) << 8 |
           static_cast<std::uint32_t>(colour.blue()) << 16;
}

QRect ToQRect(const BandFill& fill) {
    return QRect(fill.left, fill.top, fill.right - fill.left, fill.bottom - fill.top);
}

}  // namespace

GradientProgressBar::GradientProgressBar(QWidget* parent)
    : QProgressBar(parent), backgroundColor_(ToColorRef(palette().color(QPalette::Button))) {
    // Every paint covers the whole area itself; an erase first would only make the bar flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    moveTimer_.setSingleShot(true);
    connect(&moveTimer_, &QTimer::timeout, this, [this] { update(); });
}

GradientProgressBar::~GradientProgressBar() = default;

int GradientProgressBar::SetRange(int lower, int upper) {
    const std::uint32_t previous = static_cast<std::uint32_t>(controlUpper_ & 0xFFFF) << 16 |
                                   static_cast<std::uint32_t>(controlLower_ & 0xFFFF);
    controlLower_ = lower & 0xFFFF;
    controlUpper_ = upper & 0xFFFF;
    controlPos_ = std::min(std::max(controlPos_, controlLower_), controlUpper_);

    if (upper != upper_ || lower != lower_ || pos_ != lower) {
        upper_ = upper;
        lower_ = lower;
        pos_ = lower;
        ScheduleRepaint();
    }
    return static_cast<int>(previous);
}

int GradientProgressBar::SetPos(int pos) {
    const int previous = controlPos_;
    controlPos_ = std::min(std::max(pos, controlLower_), controlUpper_);
    if (pos != pos_) {
        pos_ = pos;
        ScheduleMove();
    }
    return previous;
}

void GradientProgressBar::SetColours(std::uint32_t start, std::uint32_t end) {
    if (start != startColor_ || end != endColor_) {
        startColor_ = start;
        endColor_ = end;
        ScheduleRepaint();
    }
}

void GradientProgressBar::SetBackgroundColor(std::uint32_t colour) {
    if (colour != backgroundColor_) {
        backgroundColor_ = colour;
        ScheduleRepaint();
    }
}

void GradientProgressBar::SetTextColor(std::uint32_t colour) {
    if (colour != textColor_) {
        textColor_ = colour;
        ScheduleRepaint();
    }
}

void GradientProgressBar::SetShowPercent(bool show) {
    if (show != showPercent_) {
        showPercent_ = show;
        ScheduleRepaint();
    }
}

void GradientProgressBar::ScheduleRepaint() {
    // Posted, never synchronous: a burst of changes costs one paint.
    update();
}

void GradientProgressBar::ScheduleMove() {
    const qint64 since = lastPaint_.isValid() ? lastPaint_.elapsed() : kMoveIntervalMs;
    if (since >= kMoveIntervalMs) {
        update();
    } else if (!moveTimer_.isActive()) {
        moveTimer_.start(static_cast<int>(kMoveIntervalMs - since));
    }
}

void GradientProgressBar::paintEvent(QPaintEvent* event) {
    lastPaint_.start();
    QPainter painter(this);
    const QRect client = rect();
    if (pos_ <= lower_ || pos_ > upper_) {
        // The button face as the palette has it now: an idle bar follows a theme change at once.
        painter.fillRect(client, palette().color(QPalette::Button));
        return;
    }

    const bool vertical = orientation() == Qt::Vertical;
    const int length = vertical ? client.height() : client.width();
    const GradientLayout layout = ComputeBands({client.width(), client.height(), vertical,
                                                FilledExtent(pos_, lower_, upper_, length),
                                                startColor_, endColor_, backgroundColor_});
    const QRect area = event->rect() & client;
    if (!area.isEmpty()) {
        OffscreenSurface surface(painter, area);
        for (const BandFill& band : layout.bands) {
            surface.painter().fillRect(ToQRect(band), ToQColor(band.colour));
        }
        for (const auto& rest : {layout.background, layout.tail}) {
            if (rest) {
                surface.painter().fillRect(ToQRect(*rest), ToQColor(rest->colour));
            }
        }
    }

    if (showPercent_) {
        painter.setPen(ToQColor(textColor_));
        painter.drawText(client, Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromStdString(PercentCaption(pos_, lower_, upper_)));
    }
}

}  // namespace tarnwick
