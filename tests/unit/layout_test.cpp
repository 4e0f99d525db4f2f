#include "app/layout.h"

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

TEST(Layout, GroupBoxChildrenSitAtTheBoxOriginPlusTheirOffset) {
    const TwipRect command1 = WindowTwips(ControlById(kCommand1));
    EXPECT_EQ(command1.left, 240 + 120);
    EXPECT_EQ(command1.top, 240 + 360);
    const TwipRect list = WindowTwips(ControlById(kList1));
    EXPECT_EQ(list.left, 240 + 120);
    EXPECT_EQ(list.top, 1680 + 360);
    const TwipRect command4 = WindowTwips(ControlById(kCommand4));
    EXPECT_EQ(command4.left, 5640);  // on the window itself
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

TEST(Layout, CreationOrderIsTheTabOrderAndOnlyButtonsAndTheListTakeFocus) {
    const auto controls = Controls();
    ASSERT_EQ(controls.size(), 10u);
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i].tabIndex, static_cast<int>(i));
    }
    const std::vector<ControlId> expected = {kFrame1, kCommand1, kCommand2, kCommand3, kFrame2,
                                             kS1,     kLabel1,   kList1,    kCommand5, kCommand4};
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i].id, expected[i]);
    }
    for (const ControlSpec& control : controls) {
        const bool button = control.kind == ControlKind::Button;
        EXPECT_EQ(control.enabled, !button) << "every repair button starts disabled";
    }
}

TEST(Menus, TheBarHoldsAboutAndWebsitesWhileTheLogMenuStaysHidden) {
    std::vector<std::u16string_view> bar, hidden;
    for (const MenuSpec& menu : Menus()) {
        if (!menu.parent)
            (menu.inMenuBar ? bar : hidden).push_back(menu.caption);
    }
    EXPECT_EQ(bar, (std::vector<std::u16string_view>{u"关于软件", u"官方网站"}));
    EXPECT_EQ(hidden, (std::vector<std::u16string_view>{u"清空日志"}));

    std::vector<std::u16string_view> items;
    for (const MenuSpec& menu : Menus()) {
        if (menu.parent)
            items.push_back(menu.caption);
    }
    EXPECT_EQ(items,
              (std::vector<std::u16string_view>{u"使用说明", u"-", u"退出软件", u"Varnel官网", u"-",
                                                u"Ostrid公司官网", u"清空日志"}));
    // Every item's id is unique: the dispatch tells them apart by it.
    std::vector<int> ids;
    for (const MenuSpec& menu : Menus())
        ids.push_back(menu.id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
}

}  // namespace
}  // namespace varnel
