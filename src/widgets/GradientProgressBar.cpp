#include "widgets/GradientProgressBar.h"

#include <algorithm>

#include <QColor>
#include <QPaintEvent>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>

#include "widgets/GradientLayout.h"

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

const QImage& GradientProgressBar::WholeGradient(QSize size, bool vertical) {
    const qreal ratio = devicePixelRatioF();
    const GradientKey key{size, vertical, startColor_, endColor_, ratio};
    if (gradient_.isNull() || !(key == gradientKey_)) {
        // Sized in device pixels so a scaled screen gets a sharp copy, not a stretched one.
        gradient_ = QImage(size * ratio, QImage::Format_RGB32);
        gradient_.setDevicePixelRatio(ratio);
        QPainter painter(&gradient_);
        const int length = vertical ? size.height() : size.width();
        const GradientLayout whole = ComputeBands(
            {size.width(), size.height(), vertical, length, startColor_, endColor_, 0});
        for (const BandFill& band : whole.bands) {
            painter.fillRect(ToQRect(band), ToQColor(band.colour));
        }
        if (whole.tail) {
            painter.fillRect(ToQRect(*whole.tail), ToQColor(whole.tail->colour));
        }
        gradientKey_ = key;
    }
    return gradient_;
}

void GradientProgressBar::paintEvent(QPaintEvent* /*event*/) {
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
    // The bands a position uncovers are a prefix of the whole gradient, which is painted once
    // per size and colours: a move is then one copy and one fill, not a fill per band (up to
    // 255), which is what made a move cost the job time on a slow machine.
    const QImage& gradient = WholeGradient(client.size(), vertical);
    QRect uncovered = client;
    if (layout.background) {
        const QRect rest = ToQRect(*layout.background);
        uncovered = vertical ? QRect(0, 0, client.width(), rest.top())
                             : QRect(0, 0, rest.left(), client.height());
        painter.fillRect(rest, ToQColor(layout.background->colour));
    }
    const qreal ratio = gradient.devicePixelRatio();
    painter.drawImage(QPointF(0, 0), gradient,
                      QRectF(0, 0, uncovered.width() * ratio, uncovered.height() * ratio));

    if (showPercent_) {
        painter.setPen(ToQColor(textColor_));
        painter.drawText(client, Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromStdString(PercentCaption(pos_, lower_, upper_)));
    }
}

}  // namespace tarnwick
