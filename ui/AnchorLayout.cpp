#include "ui/AnchorLayout.h"

#include <algorithm>

namespace
{

struct Span
{
    int32_t near;
    int32_t far;
};

Span AnchorSpan(Span current, Span client, int32_t nearDistance, int32_t farDistance, BOOL centre)
{
    const int32_t extent = std::max(current.far - current.near, 0);
    if (centre)
    {
        const int32_t near = std::max(0, (client.far - extent - client.near) / 2);
        return {near, near + extent};
    }
    Span span = current;
    if (nearDistance >= 0 && nearDistance != current.near)
        span = {nearDistance, nearDistance + extent};
    if (farDistance >= 0 && span.far != client.far - farDistance)
    {
        span.far = client.far - farDistance;
        if (nearDistance < 0)
            span.near = span.far - extent;
        if (span.far < span.near)
            span.far = span.near + extent;
    }
    return span;
}

} // namespace

RECT AnchorRect(const sAnchorDistances& anchor, const RECT& current, const RECT& client)
{
    const Span across = AnchorSpan({current.left, current.right}, {client.left, client.right}, anchor.left,
                                   anchor.right, anchor.centerHorizontally);
    const Span down = AnchorSpan({current.top, current.bottom}, {client.top, client.bottom}, anchor.top,
                                 anchor.bottom, anchor.centerVertically);
    return {across.near, down.near, across.far, down.far};
}
