#include "lesson/ChartGeometry.h"

#include <algorithm>

namespace {

// The bar is 5 pixels wide in a column of odd width and 6 in one of even width, centred.
constexpr int kBarWidth = 5;

} // namespace

ChartGeometry::ChartGeometry(int widestLabel, int tallestLabel, int clientHeight) {
    const int labelWidth = std::max(widestLabel, kMinimumLabelSize);
    const int labelHeight = std::max(tallestLabel, kMinimumLabelSize);
    columnWidth_ = labelWidth + 4;
    // The base line lies labelHeight + 4 pixels above the bottom, a full bar reaches the margin.
    fullBarHeight_ = clientHeight - 2 * kMargin - labelHeight - 2;
    baseline_ = fullBarHeight_ + kMargin;
}

int ChartGeometry::Window_Width(int frameWidth) const {
    return 2 * frameWidth + kNoteCount * columnWidth_ + 2 * kMargin;
}

int ChartGeometry::Label_Left(int noteIndex, int labelWidth) const {
    return noteIndex * columnWidth_ + kMargin + (columnWidth_ - labelWidth) / 2;
}

int ChartGeometry::Bar_Height(std::int32_t correct, std::int32_t asked) const {
    if (asked <= 0 || correct <= 0 || fullBarHeight_ <= 0) {
        return 0;
    }
    // 64 bits: the product of a large count and the bar height does not fit in 32.
    const std::int64_t height = std::int64_t{correct} * fullBarHeight_ / asked;
    return static_cast<int>(std::min<std::int64_t>(height, kTallestBar));
}

bool ChartGeometry::Bar_Rect(int noteIndex, std::int32_t correct, std::int32_t asked,
                             Rect* bar) const {
    const int height = Bar_Height(correct, asked);
    if (height <= 0) {
        return false;
    }
    const int inset = (columnWidth_ - kBarWidth) / 2;
    bar->left = noteIndex * columnWidth_ + kMargin + inset;
    bar->right = (noteIndex + 1) * columnWidth_ + kMargin - inset;
    bar->top = baseline_ - height;
    bar->bottom = baseline_;
    return true;
}

int ChartGeometry::Grid_LineY(int step) const {
    const int percent = step * 100 / kGridLineCount;
    return baseline_ - fullBarHeight_ * percent / 100;
}
