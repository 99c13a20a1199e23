#include "ui/WindowPlacement.h"

#include <algorithm>
#include <cstdint>

namespace
{

int64_t Area(const QRect& rect)
{
    return rect.isEmpty() ? 0 : static_cast<int64_t>(rect.width()) * rect.height();
}

int64_t DistanceSquared(const QPoint& a, const QPoint& b)
{
    const int64_t dx = static_cast<int64_t>(a.x()) - b.x();
    const int64_t dy = static_cast<int64_t>(a.y()) - b.y();
    return dx * dx + dy * dy;
}

// The corner that puts the span [start, start + length) inside [low, high], the low end first
// when it does not fit.
int Clamp(int start, int length, int low, int high)
{
    return std::max(low, std::min(start, high + 1 - length));
}

} // namespace

QPoint FitOnScreen(const QRect& frame, const std::vector<QRect>& available)
{
    if (available.empty())
        return frame.topLeft();
    for (const QRect& area : available)
        if (area.contains(frame))
            return frame.topLeft();

    const QRect* best = &available.front();
    int64_t bestShown = -1;
    for (const QRect& area : available)
    {
        const int64_t shown = Area(area.intersected(frame));
        if (shown > bestShown || (shown == 0 && bestShown == 0 &&
                                  DistanceSquared(area.center(), frame.center()) <
                                      DistanceSquared(best->center(), frame.center())))
        {
            best = &area;
            bestShown = shown;
        }
    }
    return {Clamp(frame.x(), frame.width(), best->left(), best->right()),
            Clamp(frame.y(), frame.height(), best->top(), best->bottom())};
}
