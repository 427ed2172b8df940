#include "ui/DigitModel.h"

#include <algorithm>

CDigitModel::CDigitModel(std::int32_t initialValue, std::int32_t minimumValue, std::int32_t maximumValue)
    : value(initialValue), minimum(minimumValue), maximum(maximumValue)
{
    // The value is kept but not shown: the cells stay blank until the first SetValue.
    std::fill(std::begin(digits), std::end(digits), kEmpty);
}

bool CDigitModel::SetValue(std::int32_t newValue)
{
    if (onNotify)
        onNotify();
    if (newValue > maximum || newValue < minimum)
        return false;
    value = newValue;
    std::fill(std::begin(digits), std::end(digits), kEmpty);

    // The magnitude in 64 bits: the most negative value has no 32-bit magnitude.
    std::int64_t magnitude = newValue < 0 ? -std::int64_t(newValue) : std::int64_t(newValue);
    int used = 0;
    do {
        digits[used++] = static_cast<int>(magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (newValue < 0)
        digits[used] = kMinusSign;
    return true;
}

void CDigitModel::SetDigitCount(int count)
{
    if (count < kPositions)
        shown = count;
}

int CDigitModel::cellAt(int k) const
{
    const int position = shown - 1 - k;
    if (position < 0 || position >= kPositions)
        return kBlankCell;
    const int entry = digits[position];
    if (entry < kEmpty - 1)
        return entry + 1;
    return m_bLeadingZeros ? 1 : kBlankCell;
}

void CDigitModel::move(int y, bool onlyLeftButton)
{
    if (m_bLocked || !onlyLeftButton)
        return;
    if (y != lastY) {
        // Computed wide: a step past the 32-bit range is refused like any value out of bounds.
        const std::int64_t wanted = std::int64_t(value) + (y < lastY ? step : -step);
        if (wanted == static_cast<std::int32_t>(wanted))
            SetValue(static_cast<std::int32_t>(wanted));
        else if (onNotify)
            onNotify();
    }
    lastY = y;
    if (onNotify)
        onNotify();
}
