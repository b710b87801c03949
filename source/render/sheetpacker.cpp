#include "sheetpacker.h"

#include <algorithm>
#include <numeric>

namespace volleyrun {

SheetPacker::SheetPacker(const std::vector<Size>& sizes, int32_t sheetSize)
    : sheetSize_(sheetSize), places_(sizes.size())
{
    // Largest area first: the big images set the skyline, the small ones fill its steps.
    std::vector<size_t> order(sizes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&sizes](size_t a, size_t b) {
        return int64_t{sizes[a].width} * sizes[a].height > int64_t{sizes[b].width} * sizes[b].height;
    });
    for (size_t i : order) {
        Size size = sizes[i];
        if (size.width <= 0 || size.height <= 0 || size.width > sheetSize || size.height > sheetSize) continue;
        size_t sheet = 0;
        while (sheet < skylines_.size() && !PlaceOn(sheet, size, &places_[i])) ++sheet;
        if (sheet == skylines_.size()) {
            skylines_.push_back({{0, 0, sheetSize}});
            sheets_.push_back({0, 0});
            PlaceOn(sheet, size, &places_[i]);
        }
        Raise(sheet, places_[i], size);
    }
}

// The lowest spot of the sheet's skyline where size fits, leftmost among equals.
bool SheetPacker::PlaceOn(size_t sheet, Size size, Place* place)
{
    const std::vector<Span>& sky = skylines_[sheet];
    int32_t bestTop = sheetSize_ + 1;
    for (size_t first = 0; first < sky.size() && sky[first].x + size.width <= sheetSize_; ++first) {
        int32_t top = 0;
        for (size_t i = first; i < sky.size() && sky[i].x < sky[first].x + size.width; ++i) top = std::max(top, sky[i].y);
        if (top + size.height <= sheetSize_ && top < bestTop) {
            bestTop = top;
            *place = {static_cast<int32_t>(sheet), sky[first].x, top};
        }
    }
    return bestTop <= sheetSize_;
}

// Lifts the skyline under the placed rectangle to its bottom edge and joins equal levels.
void SheetPacker::Raise(size_t sheet, const Place& place, Size size)
{
    std::vector<Span> next;
    int32_t right = place.x + size.width;
    for (const Span& span : skylines_[sheet]) {
        int32_t end = span.x + span.width;
        if (end <= place.x || span.x >= right) {
            next.push_back(span);
            continue;
        }
        if (span.x < place.x) next.push_back({span.x, span.y, place.x - span.x});
        if (end > right) next.push_back({right, span.y, end - right});
    }
    next.push_back({place.x, place.y + size.height, size.width});
    std::sort(next.begin(), next.end(), [](const Span& a, const Span& b) { return a.x < b.x; });
    std::vector<Span>& sky = skylines_[sheet];
    sky.clear();
    for (const Span& span : next) {
        if (!sky.empty() && sky.back().y == span.y) sky.back().width += span.width;
        else sky.push_back(span);
    }
    Size& used = sheets_[sheet];
    used.width = std::max(used.width, right);
    used.height = std::max(used.height, place.y + size.height);
}

} // namespace volleyrun
