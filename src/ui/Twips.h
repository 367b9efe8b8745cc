#pragma once

#include <QRect>
#include <QSize>

// Window and control geometry is given in twips, 1440 to the inch: 15 to a device-independent
// pixel at the usual 96 dots per inch.
inline constexpr int twipsPerPixel = 15;

constexpr int toPixels(int twips)
{
    return twips / twipsPerPixel;
}

constexpr int toTwips(int pixels)
{
    return pixels * twipsPerPixel;
}

constexpr QSize twipsSize(int width, int height)
{
    return {toPixels(width), toPixels(height)};
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}
