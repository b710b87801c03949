#include "sheetpacker.h"

#include <gtest/gtest.h>

#include <random>

namespace volleyrun {

namespace {

using Size = SheetPacker::Size;

// Every placed rectangle lies inside the used extent of its sheet and overlaps no other.
void ExpectSound(const SheetPacker& packer, const std::vector<Size>& sizes, int32_t sheetSize)
{
    const auto& at = packer.Places();
    ASSERT_EQ(at.size(), sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (at[i].sheet < 0) continue;
        const Size& sheet = packer.Sheets()[static_cast<size_t>(at[i].sheet)];
        EXPECT_TRUE(sheet.width <= sheetSize && sheet.height <= sheetSize);
        EXPECT_TRUE(at[i].x >= 0 && at[i].y >= 0 && at[i].x + sizes[i].width <= sheet.width &&
                    at[i].y + sizes[i].height <= sheet.height)
            << i;
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(at[i].sheet == at[j].sheet && at[i].x < at[j].x + sizes[j].width &&
                         at[j].x < at[i].x + sizes[i].width && at[i].y < at[j].y + sizes[j].height &&
                         at[j].y < at[i].y + sizes[i].height)
                << i << " overlaps " << j;
    }
}

// 300 random images share one sheet, little left empty; four quarters fill a sheet exactly
// and a fifth needs a second one; images wider than a sheet or without a size stay off.
TEST(SheetPackerTest, ImagesShareSheetsWithoutOverlappingAndOversizedImagesStayOff)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int32_t> side(1, 300);
    std::vector<Size> sizes;
    int64_t area = 0;
    for (int i = 0; i < 300; ++i) {
        sizes.push_back({side(random), side(random)});
        area += int64_t{sizes.back().width} * sizes.back().height;
    }
    SheetPacker many(sizes, 4096);
    ExpectSound(many, sizes, 4096);
    ASSERT_EQ(many.Sheets().size(), 1u);
    EXPECT_LT(int64_t{many.Sheets()[0].width} * many.Sheets()[0].height, area * 13 / 10);
    sizes.assign(5, Size{512, 512});
    sizes.insert(sizes.end(), {{1025, 10}, {0, 0}});
    SheetPacker packer(sizes, 1024);
    ExpectSound(packer, sizes, 1024);
    ASSERT_EQ(packer.Sheets().size(), 2u);
    EXPECT_EQ(packer.Sheets()[0].height, 1024);
    EXPECT_EQ(packer.Sheets()[1].height, 512);
    EXPECT_EQ(packer.Places()[5].sheet, -1);
    EXPECT_EQ(packer.Places()[6].sheet, -1);
}

} // namespace

} // namespace volleyrun
