#pragma once

// Geometry and caption of the gradient progress bar, kept free of Qt so that every band edge and
// colour can be checked on plain numbers. Pure functions: any thread, no failure modes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// One solid fill in widget coordinates; left and top are inside, right and bottom are outside.
struct BandFill {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    std::uint32_t colour = 0;  // 0x00BBGGRR

    friend bool operator==(const BandFill&, const BandFill&) = default;
};

struct GradientRequest {
    int width = 0;  // client width in pixels
    int height = 0;
    bool vertical = false;  // bands run from the top edge downwards
    int extent = 0;         // filled length along the bar, from FilledExtent
    std::uint32_t startColor = 0;
    std::uint32_t endColor = 0;
    std::uint32_t backgroundColor = 0;
};

struct GradientLayout {
    std::vector<BandFill> bands;         // in painting order, band 0 at the left or top edge
    std::optional<BandFill> background;  // the unfilled rest after the first band past extent
    std::optional<BandFill> tail;        // the line the bands miss when all of them are painted
};

// The fills of one paint, in the order they are painted. Band edges and colours depend only on the
// length and the two colours; extent only decides where the bands stop.
GradientLayout ComputeBands(const GradientRequest& request);

// Filled length in pixels for lower < pos <= upper.
int FilledExtent(int pos, int lower, int upper, int length);

// The percentage caption, "%3.0f %%" of the filled fraction, for lower < pos <= upper.
std::string PercentCaption(int pos, int lower, int upper);

}  // namespace tarnwick
