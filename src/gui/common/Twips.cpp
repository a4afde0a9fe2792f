#include "common/Twips.h"

#include <cmath>

namespace Twips
{

int toPixels(int twips, int dpi)
{
    return int(std::lround(double(twips) * dpi / PerInch));
}

int fromPixels(int pixels, int dpi)
{
    return dpi > 0 ? int(std::lround(double(pixels) * PerInch / dpi)) : 0;
}

} // namespace Twips
