#include "layout/layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

namespace varnel {
namespace {

// Twips, DPI and the pixels they make.
TEST(TwipsToPixels, RoundsHalfAwayFromZeroWithoutOverflowLikeMulDiv) {
    const std::tuple<int, unsigned, int> rows[] = {{7, 96, 0},       {8, 96, 1},     {6, 120, 1},
                                                   {-7, 96, 0},      {-8, 96, -1},   {-15, 96, -1},
                                                   {1440, 192, 192}, {8955, 96, 597}};
    for (const auto& [twips, dpi, pixels] : rows)
        EXPECT_EQ(TwipsToPixels(twips, dpi), pixels) << twips << " " << dpi;
    EXPECT_EQ(TwipsToPixels(INT_MAX, 96), 143165576);
    EXPECT_EQ(TwipsToPixels(INT_MIN, 96), -143165577);
}

bool Inside(const PixelRect& inner, const PixelRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top &&
           inner.left + inner.width <= outer.left + outer.width &&
           inner.top + inner.height <= outer.top + outer.height;
}

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

TEST(Layout, AtEveryDpiTheVisibleControlsFitTheClientAreaAndOverlapOnlyTheirGroupBox) {
    for (const unsigned dpi : {96u, 120u, 144u, 192u}) {
        SCOPED_TRACE(dpi);
        const PixelRect client = ToPixels({0, 0, kClientWidthTwips, kClientHeightTwips}, dpi);
        for (const ControlSpec& a : Controls()) {
            const PixelRect ra = ToPixels(WindowTwips(a), dpi);
            EXPECT_GT(ra.width, 0) << a.id;
            EXPECT_EQ(Inside(ra, client), a.visible) << a.id;  // the hidden label lies beyond
            for (const ControlSpec& b : Controls()) {
                const PixelRect rb = ToPixels(WindowTwips(b), dpi);
                if (a.id == b.container) {
                    EXPECT_TRUE(Inside(rb, ra)) << b.id << " in " << a.id;
                } else if (a.id != b.id && b.id != a.container && a.visible && b.visible) {
                    EXPECT_FALSE(Overlap(ra, rb)) << a.id << " and " << b.id;
                }
            }
        }
        // The outer status panels are equally wide; the middle one springs down to that width.
        const auto edges = StatusPanelEdges(client.width, dpi);
        EXPECT_EQ(edges[0], client.width - edges[1]);
        EXPECT_EQ(edges[2], -1);
        EXPECT_EQ(StatusPanelEdges(0, dpi), (std::array<int, 3>{edges[0], 2 * edges[0], -1}));
    }
    EXPECT_FALSE(Controls().empty());
    EXPECT_THROW(ControlById(static_cast<ControlId>(0)), std::out_of_range);
}

}  // namespace
}  // namespace varnel
