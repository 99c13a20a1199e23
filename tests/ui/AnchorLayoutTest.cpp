// The anchor rule by which controls follow the edges of a resized dialog, MulDiv, and the wizard's
// choice of the next and previous page.
#include <vector>

#include <gtest/gtest.h>

#include "ui/AnchorLayout.h"
#include "ui/WizardNavigation.h"

namespace
{

sAnchorDistances Anchored(int left, int top, int right, int bottom)
{
    sAnchorDistances anchor;
    anchor.left = left;
    anchor.top = top;
    anchor.right = right;
    anchor.bottom = bottom;
    return anchor;
}

const RECT kButton{300, 250, 380, 275}; // 80 by 25, 20 and 25 from the corner of 400 by 300

TEST(AnchorRect, FarEdgesCarryTheControlAlongAndBothEdgesStretchIt)
{
    const RECT grown{0, 0, 600, 500};
    // Anchored right and bottom: the same distances from the lower right corner, the same size.
    EXPECT_EQ(AnchorRect(Anchored(-1, -1, 20, 25), kButton, grown), (RECT{500, 450, 580, 475}));
    // Anchored left and right: stretched across, kept down.
    EXPECT_EQ(AnchorRect(Anchored(10, -1, 10, -1), RECT{10, 20, 390, 40}, grown), (RECT{10, 20, 590, 40}));
    // The near edges move the control to their distances.
    EXPECT_EQ(AnchorRect(Anchored(15, 5, -1, -1), kButton, grown), (RECT{15, 5, 95, 30}));
    // No anchor along an axis: it stays where it is along it.
    EXPECT_EQ(AnchorRect(Anchored(-1, -1, -1, 25), kButton, grown), (RECT{300, 450, 380, 475}));
}

TEST(AnchorRect, AControlSqueezedBelowItsWidthKeepsItFromItsNearEdge)
{
    const RECT narrow{0, 0, 100, 300};
    EXPECT_EQ(AnchorRect(Anchored(60, -1, 60, -1), RECT{60, 0, 340, 20}, narrow), (RECT{60, 0, 340, 20}));
}

TEST(AnchorRect, CentringKeepsTheControlInTheMiddleAndNeverLeftOfTheEdge)
{
    sAnchorDistances centred;
    centred.centerHorizontally = TRUE;
    EXPECT_EQ(AnchorRect(centred, kButton, RECT{0, 0, 600, 500}), (RECT{260, 250, 340, 275}));
    EXPECT_EQ(AnchorRect(centred, kButton, RECT{0, 0, 50, 500}), (RECT{0, 250, 80, 275}));
}

TEST(MulDiv, RoundsAndRefusesWhatDoesNotFit)
{
    EXPECT_EQ(MulDiv(120, 14, 96), 18); // 17.5 rounds up
    EXPECT_EQ(MulDiv(-120, 14, 96), -18);
    EXPECT_EQ(MulDiv(96, 14, 96), 14);
    EXPECT_EQ(MulDiv(1, 2, 0), -1);
    EXPECT_EQ(MulDiv(2147483647, 2, 1), -1);
    EXPECT_EQ(MulDiv(2147483647, 100000, 100000), 2147483647);
}

TEST(WizardNavigation, PassesOverSkippedPages)
{
    const std::vector<bool> middleSkipped = {false, true, false};
    EXPECT_EQ(NextPageIndex(middleSkipped, 0), 2);
    EXPECT_EQ(PreviousPageIndex(middleSkipped, 2), 0);
    EXPECT_EQ(NextPageIndex(middleSkipped, 2), -1);
    EXPECT_EQ(PreviousPageIndex(middleSkipped, 0), -1);
    // Without a current page the search starts after the first.
    EXPECT_EQ(NextPageIndex(middleSkipped, -1), 2);
    EXPECT_EQ(NextPageIndex({}, -1), -1);
    // Every earlier page skipped, or a current page outside the list: no previous page.
    EXPECT_EQ(PreviousPageIndex({true, true, false}, 2), -1);
    EXPECT_EQ(PreviousPageIndex(middleSkipped, 3), -1);
}

} // namespace
