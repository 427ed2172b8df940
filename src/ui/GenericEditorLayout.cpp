#include "ui/GenericEditorLayout.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
constexpr int kRowPadding = 10; // above and below a row's text together
constexpr int kWheelDelta = 120;
constexpr char kEllipsis[] = "...";
constexpr std::size_t kEllipsisChars = sizeof kEllipsis - 1;

bool IsControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}
} // namespace

GenericEditorLayout::GenericEditorLayout(int textHeight)
    : m_textHeight(std::max(textHeight, 1)),
      m_rowHeight(std::max(kMinRowHeight, m_textHeight + kRowPadding))
{
}

Extent GenericEditorLayout::PreferredSize(int count) const
{
    if (count <= 0)
        return {kEmptyWidth, 2 * kMargin + 2 * m_textHeight + kGap};
    return {kWidth, 2 * kMargin + std::min(count, kMaxShownRows) * m_rowHeight};
}

int GenericEditorLayout::RowsThatFit(int clientHeight) const
{
    return std::max(0, (clientHeight - 2 * kMargin) / m_rowHeight);
}

RowBoxes GenericEditorLayout::Row(int slot, int clientWidth) const
{
    const int top = kMargin + slot * m_rowHeight;
    const int textY = top + (m_rowHeight - m_textHeight) / 2;
    const int sliderX = kMargin + kNameWidth + kGap;
    const int valueX = std::max(sliderX + kGap, clientWidth - kMargin - kValueWidth);
    RowBoxes row;
    row.name = {kMargin, textY, kNameWidth, m_textHeight};
    row.slider = {sliderX, top + 1, valueX - kGap - sliderX, m_rowHeight - 2};
    row.value = {valueX, textY, kValueWidth, m_textHeight};
    return row;
}

Box GenericEditorLayout::EmptyLine(int line, int clientWidth) const
{
    return {kMargin, kMargin + line * (m_textHeight + kGap), std::max(0, clientWidth - 2 * kMargin),
            m_textHeight};
}

int PositionFromValue(float value)
{
    if (!(value > 0.0f)) // NaN as well
        return 0;
    if (value >= 1.0f)
        return kPositions;
    return static_cast<int>(std::lround(value * kPositions));
}

float ValueFromPosition(int position)
{
    return static_cast<float>(std::clamp(position, 0, kPositions)) / kPositions;
}

int ClampFirstRow(int first, int count, int shown)
{
    return std::clamp(first, 0, std::max(0, count - shown));
}

int FirstRowShowing(int row, int first, int count, int shown)
{
    if (row < first)
        first = row;
    else if (shown > 0 && row >= first + shown)
        first = row - shown + 1;
    return ClampFirstRow(first, count, shown);
}

int WheelRows(int& pending, int delta, int linesPerNotch)
{
    if (linesPerNotch <= 0)
        return 0;
    if ((pending > 0 && delta < 0) || (pending < 0 && delta > 0))
        pending = 0; // a turn the other way starts afresh
    pending += delta * linesPerNotch;
    const int rows = pending / kWheelDelta;
    pending -= rows * kWheelDelta;
    return -rows; // away from the user scrolls up
}

int NextTabRow(int row, int count, bool forward)
{
    if (count <= 0)
        return 0;
    return forward ? (row + 1) % count : (row + count - 1) % count;
}

std::string CleanText(const std::string& text, std::size_t maxChars)
{
    std::string clean;
    for (char c : text) {
        if (c == '\0')
            break;
        if (IsControl(c) || c == ' ') {
            if (!clean.empty() && clean.back() != ' ')
                clean += ' ';
        } else {
            clean += c;
            if (clean.size() > maxChars)
                break; // enough to know it is cut
        }
    }
    while (!clean.empty() && clean.back() == ' ')
        clean.pop_back();
    if (clean.size() <= maxChars)
        return clean;
    if (maxChars <= kEllipsisChars)
        return clean.substr(0, maxChars);
    clean.resize(maxChars - kEllipsisChars);
    while (!clean.empty() && clean.back() == ' ')
        clean.pop_back();
    return clean + kEllipsis;
}

std::string NameText(const std::string& name, int index)
{
    std::string text = CleanText(name);
    return text.empty() ? "Parameter " + std::to_string(index + 1) : text;
}

std::string ValueText(const std::string& display, const std::string& label)
{
    return CleanText(CleanText(display) + ' ' + CleanText(label));
}

std::string InstrumentText(const std::string& name)
{
    std::string text = CleanText(name);
    return text.empty() ? "Instrument" : text;
}

} // namespace ui
