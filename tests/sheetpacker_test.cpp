#include "sheetpacker.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Size = SheetPacker::Size;

bool Overlap(const SheetPacker::Place& a, Size sa, const SheetPacker::Place& b, Size sb)
{
    return a.sheet == b.sheet && a.x < b.x + sb.width && b.x < a.x + sa.width && a.y < b.y + sb.height &&
           b.y < a.y + sa.height;
}

// Every placed rectangle lies inside the used extent of its sheet and overlaps no other.
void ExpectSound(const SheetPacker& packer, const std::vector<Size>& sizes, int32_t sheetSize)
{
    const auto& places = packer.Places();
    ASSERT_EQ(places.size(), sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (places[i].sheet < 0) continue;
        const Size& sheet = packer.Sheets()[static_cast<size_t>(places[i].sheet)];
        EXPECT_LE(sheet.width, sheetSize);
        EXPECT_LE(sheet.height, sheetSize);
        EXPECT_GE(places[i].x, 0);
        EXPECT_GE(places[i].y, 0);
        EXPECT_LE(places[i].x + sizes[i].width, sheet.width) << i;
        EXPECT_LE(places[i].y + sizes[i].height, sheet.height) << i;
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(Overlap(places[i], sizes[i], places[j], sizes[j])) << i << " and " << j;
    }
}

TEST(SheetPackerTest, ManyImagesShareASheetWithoutOverlapping)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int32_t> side(1, 300);
    std::vector<Size> sizes;
    int64_t area = 0;
    for (int i = 0; i < 300; ++i) {
        sizes.push_back({side(random), side(random)});
        area += int64_t{sizes.back().width} * sizes.back().height;
    }
    SheetPacker packer(sizes, 4096);
    ExpectSound(packer, sizes, 4096);
    ASSERT_EQ(packer.Sheets().size(), 1u);
    int64_t used = int64_t{packer.Sheets()[0].width} * packer.Sheets()[0].height;
    EXPECT_LT(used, area * 13 / 10);  // the sheet ends where its images end, little left empty
}

TEST(SheetPackerTest, WhatDoesNotFitOpensAnotherSheetAndOversizedImagesStayOff)
{
    // Four quarters fill a sheet exactly; a fifth needs a second one.
    std::vector<Size> sizes(5, Size{512, 512});
    sizes.push_back({1025, 10});  // wider than a sheet
    sizes.push_back({0, 0});      // unreadable: no size
    SheetPacker packer(sizes, 1024);
    ExpectSound(packer, sizes, 1024);
    ASSERT_EQ(packer.Sheets().size(), 2u);
    EXPECT_EQ(packer.Sheets()[0].width, 1024);
    EXPECT_EQ(packer.Sheets()[0].height, 1024);
    EXPECT_EQ(packer.Sheets()[1].height, 512);
    EXPECT_EQ(packer.Places()[5].sheet, -1);
    EXPECT_EQ(packer.Places()[6].sheet, -1);
}

} // namespace
