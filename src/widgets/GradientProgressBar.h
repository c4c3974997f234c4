#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QProgressBar>
#include <QTimer>
#include <cstdint>

namespace tarnwick {

// Progress bar that paints its filled part as one fixed colour gradient of solid bands, which a
// growing position uncovers, with the unfilled part in a background colour and an optional centred
// percentage caption. Colours are COLORREF values, 0x00BBGGRR.
//
// All state lives here; the base class's value and range are not used, because its setValue
// repaints synchronously and drops positions outside the range, which this bar paints flat.
// UI thread only. Every setter only schedules a repaint, and only when something changed, so the
// programming job may report a position per flashed page. A new position is shown at most ten
// times a second, as people read a bar; any other change at the next paint, with the latest
// position.
class GradientProgressBar : public QProgressBar {
    Q_OBJECT

  public:
    explicit GradientProgressBar(QWidget* parent = nullptr);
    ~GradientProgressBar() override;

    // Sets the range and moves the position to lower, so the bar shows flat until a larger
    // position arrives. Returns the previous range as the 16-bit control range packs it:
    // previous upper in the high word, previous lower in the low word.
    int SetRange(int lower, int upper);
    // Stores the position; any value is kept, and one outside (lower, upper] paints flat.
    // Returns the previous position as the control held it, clamped to its 16-bit range.
    int SetPos(int pos);

    void SetColours(std::uint32_t start, std::uint32_t end);
    void SetBackgroundColor(std::uint32_t colour);
    void SetTextColor(std::uint32_t colour);
    void SetShowPercent(bool show);

    int lowerBound() const { return lower_; }
    int upperBound() const { return upper_; }
    int stepSize() const { return step_; }
    int position() const { return pos_; }
    std::uint32_t startColor() const { return startColor_; }
    std::uint32_t endColor() const { return endColor_; }
    std::uint32_t backgroundColor() const { return backgroundColor_; }
    std::uint32_t textColor() const { return textColor_; }
    bool showPercent() const { return showPercent_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // Every band at the full length, for this size, orientation, colours and screen scale.
    const QImage& WholeGradient(QSize size, bool vertical);
    void ScheduleRepaint();
    void ScheduleMove();

    int lower_ = 0;
    int upper_ = 100;
    int step_ = 10;  // kept for the control's bookkeeping; painting never reads it
    int pos_ = 0;
    std::uint32_t startColor_ = 0x000000FF;
    std::uint32_t endColor_ = 0x00FF0000;
    std::uint32_t backgroundColor_ = 0;  // the palette's button face at construction
    std::uint32_t textColor_ = 0x00FFFFFF;
    bool showPercent_ = true;

    QElapsedTimer lastPaint_;  // invalid before the first paint
    QTimer moveTimer_;         // the deferred repaint of a position that came too soon
    struct GradientKey {
        QSize size;
        bool vertical = false;
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        qreal ratio = 1.0;
        bool operator==(const GradientKey&) const = default;
    };
    GradientKey gradientKey_;
    QImage gradient_;  // null until the first paint of a filled bar

    // What a native 16-bit progress control would hold, for the values SetRange and SetPos return.
    int controlLower_ = 0;
    int controlUpper_ = 100;
    int controlPos_ = 0;
};

}  // namespace tarnwick
