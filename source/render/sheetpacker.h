// SheetPacker: places rectangles (images with a gutter around them) on as few square
// sheets of a given size as it can, so that the texture store can put many images in one
// GL texture and the sprite batch rarely has to change texture. Skyline packing, largest
// images first; a sheet ends only as tall as what is on it. Pure arithmetic, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace volleyrun {

class SheetPacker {
public:
    struct Size {
        int32_t width = 0;
        int32_t height = 0;
    };
    struct Place {
        int32_t sheet = -1;  // -1: larger than a sheet, so never placed
        int32_t x = 0;       // top left corner of the rectangle on its sheet
        int32_t y = 0;
    };

    // Packs sizes, in any order, on sheets of sheetSize x sheetSize; Places() follows the
    // order of sizes.
    SheetPacker(const std::vector<Size>& sizes, int32_t sheetSize);

    const std::vector<Place>& Places() const { return places_; }
    const std::vector<Size>& Sheets() const { return sheets_; }  // the used extent of each sheet

private:
    // One level of a sheet's skyline: from x, width wide, filled up to y.
    struct Span {
        int32_t x, y, width;
    };
    bool PlaceOn(size_t sheet, Size size, Place* place);
    void Raise(size_t sheet, const Place& place, Size size);

    int32_t sheetSize_;
    std::vector<std::vector<Span>> skylines_;  // one per sheet
    std::vector<Place> places_;
    std::vector<Size> sheets_;
};

} // namespace volleyrun
