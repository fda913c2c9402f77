#pragma once

#include <algorithm>

// Points and rectangles in pixels. A rectangle's Right and Bottom lie just
// outside it, so Right - Left is its width.
struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint &, const TPoint &) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TRect &, const TRect &) = default;
};

inline TPoint Point(int x, int y)
{
    return { x, y };
}
inline TRect Rect(int left, int top, int right, int bottom)
{
    return { left, top, right, bottom };
}
inline TRect Bounds(int left, int top, int width, int height)
{
    return { left, top, left + width, top + height };
}
inline bool PtInRect(const TRect &r, const TPoint &p)
{
    return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}
inline void InflateRect(TRect &r, int dx, int dy)
{
    r.Left -= dx, r.Top -= dy, r.Right += dx, r.Bottom += dy;
}
inline void OffsetRect(TRect &r, int dx, int dy)
{
    r.Left += dx, r.Top += dy, r.Right += dx, r.Bottom += dy;
}
bool IntersectRect(TRect &result, const TRect &a, const TRect &b);
