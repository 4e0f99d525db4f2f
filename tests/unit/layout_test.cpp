#include "layout/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace varnel {
namespace {

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

bool Inside(const PixelRect& inner, const PixelRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top &&
           inner.left + inner.width <= outer.left + outer.width &&
           inner.top + inner.height <= outer.top + outer.height;
}

TEST(TwipsToPixels, RoundsLikeMulDivAtCommonDpis) {
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 96), 597);
    EXPECT_EQ(TwipsToPixels(kClientHeightTwips, 96), 562);
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(7, 96), 0);   // 0.467 rounds down
    EXPECT_EQ(TwipsToPixels(8, 96), 1);   // 0.533 rounds up
    EXPECT_EQ(TwipsToPixels(6, 120), 1);  // exactly 0.5 rounds away from zero
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 120), 746);
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 144), 896);
    EXPECT_EQ(TwipsToPixels(kClientWidthTwips, 192), 1194);
    EXPECT_EQ(TwipsToPixels(-15, 96), -1);
}

class LayoutAtDpi : public ::testing::TestWithParam<unsigned> {};

TEST_P(LayoutAtDpi, NoTwoControlsOverlapAndAllButTheLabelFitTheClientArea) {
    const unsigned dpi = GetParam();
    const PixelRect client{0, 0, TwipsToPixels(kClientWidthTwips, dpi),
                           TwipsToPixels(kClientHeightTwips, dpi)};
    std::vector<std::pair<const ControlSpec*, PixelRect>> placed;
    for (const ControlSpec& control : Controls()) {
        const PixelRect r = ToPixels(WindowTwips(control), dpi);
        EXPECT_GT(r.width, 0) << std::string(control.name.begin(), control.name.end());
        if (control.id == kLabel1) {
            EXPECT_FALSE(control.visible);
            EXPECT_GE(r.left, client.width) << "the label lies beyond the client area";
            continue;
        }
        EXPECT_TRUE(Inside(r, client)) << "control " << control.id << " at dpi " << dpi;
        placed.emplace_back(&control, r);
    }
    for (size_t i = 0; i < placed.size(); ++i) {
        for (size_t j = i + 1; j < placed.size(); ++j) {
            const ControlSpec& a = *placed[i].first;
            const ControlSpec& b = *placed[j].first;
            // A group box encloses its own controls; that is no overlap.
            if (a.id == b.container || b.id == a.container) {
                EXPECT_TRUE(Inside(a.id == b.container ? placed[j].second : placed[i].second,
                                   a.id == b.container ? placed[i].second : placed[j].second));
                continue;
            }
            EXPECT_FALSE(Overlap(placed[i].second, placed[j].second))
                << a.id << " and " << b.id << " overlap at dpi " << dpi;
        }
    }
}

TEST_P(LayoutAtDpi, StatusPanelsKeepTheirWidthsAndTheMiddleOneSprings) {
    const unsigned dpi = GetParam();
    const int fixed = TwipsToPixels(kStatusPanelTwips, dpi);
    const int width = TwipsToPixels(kClientWidthTwips, dpi);
    const auto edges = StatusPanelEdges(width, dpi);
    EXPECT_EQ(edges[0], fixed);
    EXPECT_EQ(edges[1], width - fixed);
    EXPECT_EQ(edges[2], -1);
    // Far too narrow: the middle panel keeps its minimum width.
    EXPECT_EQ(StatusPanelEdges(fixed, dpi)[1], 2 * fixed);
}

INSTANTIATE_TEST_SUITE_P(Dpis, LayoutAtDpi, ::testing::Values(96u, 120u, 144u, 192u));

}  // namespace
}  // namespace varnel
