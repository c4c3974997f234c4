#include "widgets/GradientProgressBar.h"

#include <algorithm>
#include <utility>

#include <QBackingStore>
#include <QColor>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
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
    connect(&moveTimer_, &QTimer::timeout, this, [this] { UpdateMovedPart(); });
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
        UpdateMovedPart();
    } else if (!moveTimer_.isActive()) {
        moveTimer_.start(static_cast<int>(kMoveIntervalMs - since));
    }
}

void GradientProgressBar::UpdateMovedPart() {
    const QRect client = rect();
    if (!Working(paintedPos_) || !Working(pos_) || pos_ < paintedPos_) {
        // To or from the flat face everything changes; a move back is rare enough to repaint.
        update();
        return;
    }
    const bool vertical = orientation() == Qt::Vertical;
    const int length = vertical ? client.height() : client.width();
    const auto layoutAt = [&](int pos) {
        return ComputeBands({client.width(), client.height(), vertical,
                             FilledExtent(pos, lower_, upper_, length), startColor_, endColor_,
                             backgroundColor_});
    };
    const GradientLayout before = layoutAt(paintedPos_);
    const GradientLayout after = layoutAt(pos_);
    // A pixel changes only where a fill differs: a band present in one layout alone, or a
    // background or tail that moved.
    QRegion changed;
    const std::size_t bands = std::max(before.bands.size(), after.bands.size());
    for (std::size_t i = 0; i < bands; ++i) {
        const BandFill* old = i < before.bands.size() ? &before.bands[i] : nullptr;
        const BandFill* now = i < after.bands.size() ? &after.bands[i] : nullptr;
        if (old != nullptr && now != nullptr && *old == *now) {
            continue;
        }
        for (const BandFill* fill : {old, now}) {
            if (fill != nullptr) {
                changed += ToQRect(*fill);
            }
        }
    }
    for (const auto& [old, now] : {std::pair(before.background, after.background),
                                   std::pair(before.tail, after.tail)}) {
        if (old != now) {
            for (const auto& fill : {old, now}) {
                if (fill) {
                    changed += ToQRect(*fill);
                }
            }
        }
    }
    if (showPercent_) {
        // Every caption is centred and no wider than the widest; a margin for antialiasing.
        QRect caption = fontMetrics().boundingRect(client, Qt::AlignCenter | Qt::TextSingleLine,
                                                   QStringLiteral("100 %"));
        caption.setLeft(std::max(0, caption.left() - fontMetrics().maxWidth()));
        caption.setRight(caption.right() + fontMetrics().maxWidth());
        changed += caption.adjusted(0, -2, 0, 2);
    }
    update(changed & client);
}

void GradientProgressBar::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Only a paint into the window's backing store changes what the screen shows; a grab or a
    // render paints the same way into another device.
    QBackingStore* store = backingStore();
    if (store != nullptr && painter.paintEngine() != nullptr &&
        painter.paintEngine()->paintDevice() == store->paintDevice()) {
        lastPaint_.start();
        paintedPos_ = pos_;
    }
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
        // Only the fills the paint can show: a move repaints a few bands of a long bar.
        for (const BandFill& band : layout.bands) {
            if (const QRect fill = ToQRect(band); fill.intersects(area)) {
                surface.painter().fillRect(fill, ToQColor(band.colour));
            }
        }
        for (const auto& rest : {layout.background, layout.tail}) {
            if (rest && ToQRect(*rest).intersects(area)) {
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
