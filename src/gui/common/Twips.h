#pragma once

// Positions and sizes are kept in twips (1/1440 inch); these are the one
// place where they meet the pixels of a widget.
namespace Twips
{

inline constexpr int PerInch = 1440;

int toPixels(int twips, int dpi);
int fromPixels(int pixels, int dpi);

} // namespace Twips
