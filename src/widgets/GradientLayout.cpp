#include "widgets/GradientLayout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tarnwick {
namespace {

int ChannelOf(std::uint32_t colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFFu);
}

// Band sizes and channel steps are single precision, but each product with the band index is
// formed exactly in double: rounding the product to float moves some edges by a pixel.
int Scaled(int index, float unit) {
    return static_cast<int>(static_cast<double>(index) * static_cast<double>(unit));
}

std::uint32_t ChannelAt(int start, int index, float step) {
    const auto value = static_cast<int>(static_cast<double>(start) +
                                        static_cast<double>(index) * static_cast<double>(step));
    return static_cast<std::uint32_t>(value) & 0xFFu;
}

}  // namespace

GradientLayout ComputeBands(const GradientRequest& request) {
    const int length = request.vertical ? request.height : request.width;
    const int startR = ChannelOf(request.startColor, 0);
    const int startG = ChannelOf(request.startColor, 8);
    const int startB = ChannelOf(request.startColor, 16);
    const int dR = ChannelOf(request.endColor, 0) - startR;
    const int dG = ChannelOf(request.endColor, 8) - startG;
    const int dB = ChannelOf(request.endColor, 16) - startB;

    // One band per unit of the largest channel difference. Equal colours get a single band, so
    // the bar shows the start colour as one solid fill.
    const int count = std::max({1, std::abs(dR), std::abs(dG), std::abs(dB)});
    const auto bands = static_cast<float>(count);
    const float bandSize = static_cast<float>(length) / bands;
    const float stepR = static_cast<float>(dR) / bands;
    const float stepG = static_cast<float>(dG) / bands;
    const float stepB = static_cast<float>(dB) / bands;

    GradientLayout layout;
    layout.bands.reserve(static_cast<std::size_t>(count));
    const auto along = [&](int nearEdge, int farEdge, int crossEnd) {
        return request.vertical ? BandFill{0, nearEdge, crossEnd, farEdge}
                                : BandFill{nearEdge, 0, farEdge, crossEnd};
    };
    for (int i = 0; i < count; ++i) {
        const int farEdge = Scaled(i + 1, bandSize);
        BandFill band = along(Scaled(i, bandSize), farEdge,
                              (request.vertical ? request.width : request.height) + 1);
        band.colour = ChannelAt(startR, i, stepR) | ChannelAt(startG, i, stepG) << 8 |
                      ChannelAt(startB, i, stepB) << 16;
        layout.bands.push_back(band);
        if (farEdge > request.extent) {
            BandFill rest =
                along(farEdge, length, request.vertical ? request.width : request.height);
            rest.colour = request.backgroundColor;
            layout.background = rest;
            return layout;
        }
    }
    // The float band size can leave the last far edge one pixel short of the length; without
    // this fill that line would show whatever the off-screen image held before.
    const int lastEdge = Scaled(count, bandSize);
    if (lastEdge < length) {
        BandFill rest = along(lastEdge, length, request.vertical ? request.width : request.height);
        rest.colour = layout.bands.back().colour;
        layout.tail = rest;
    }
    return layout;
}

int FilledExtent(int pos, int lower, int upper, int length) {
    // Differences in double: a range wider than INT_MAX must not overflow.
    const double fraction = (static_cast<double>(pos) - static_cast<double>(lower)) /
                            (static_cast<double>(upper) - static_cast<double>(lower));
    return static_cast<int>(fraction * static_cast<double>(length));
}

std::string PercentCaption(int pos, int lower, int upper) {
    const double percent = (static_cast<double>(pos) - static_cast<double>(lower)) * 100.0 /
                           (static_cast<double>(upper) - static_cast<double>(lower));
    char text[32];
    std::snprintf(text, sizeof text, "%3.0f %%", percent);
    return text;
}

}  // namespace tarnwick
