#include "ui/framework/dialog_units.h"

#include <QFontMetrics>
#include <QString>

#include <cstdint>

namespace trawlix::ui {

DialogBaseUnits BaseUnitsFromMetrics(int widthOf52Letters, int fontHeight)
{
    return {(widthOf52Letters / 26 + 1) / 2, fontHeight};
}

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    return BaseUnitsFromMetrics(
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
}

int MulDiv(int n, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(n) * numerator;
    const std::int64_t half = (denominator < 0 ? -denominator : denominator) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const std::int64_t magnitude =
        ((product < 0 ? -product : product) + half) / (denominator < 0 ? -denominator : denominator);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QRect DialogUnitsToPixels(const QRect& units, DialogBaseUnits base)
{
    return {MulDiv(units.x(), base.x, 4), MulDiv(units.y(), base.y, 8), MulDiv(units.width(), base.x, 4),
            MulDiv(units.height(), base.y, 8)};
}

} // namespace trawlix::ui
