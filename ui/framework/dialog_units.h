#pragma once

#include <QFont>
#include <QRect>

// Dialog units: templates place controls in units of a quarter of the dialog font's average
// character width and an eighth of its height, so a layout follows the font it is shown in.
namespace trawlix::ui {

struct DialogBaseUnits
{
    int x = 0; // average character width, pixels
    int y = 0; // character height, pixels
};

// The base units from the pixel width of the 52 letters A-Z a-z and the font height, rounded
// as the original platform does it.
[[nodiscard]] DialogBaseUnits BaseUnitsFromMetrics(int widthOf52Letters, int fontHeight);
[[nodiscard]] DialogBaseUnits BaseUnitsOf(const QFont& font);

// n * numerator / denominator, rounded half away from zero (the platform's MulDiv).
[[nodiscard]] int MulDiv(int n, int numerator, int denominator);

[[nodiscard]] QRect DialogUnitsToPixels(const QRect& units, DialogBaseUnits base);

} // namespace trawlix::ui
