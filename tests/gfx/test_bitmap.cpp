// Dynamic bitmaps in a cache of 0x81000 bytes with room for at most 6 of them. (The static
// table: test_asset_tables.cpp, and every widget drawing a bitmap.)
#include "gfx_test.h"

namespace gfxtest {
namespace {

using touchgfx::Bitmap;
using touchgfx::BITMAP_INVALID;
using touchgfx::BitmapId;
using touchgfx::Rect;

class DynamicBitmaps : public ::testing::Test {
 protected:
  void SetUp() override { table.install(0x81000, 6); }
  void TearDown() override { Bitmap::registerBitmapDatabase(nullptr, 0); }
  BitmapTable table;
};

TEST_F(DynamicBitmaps, SixFitTheSeventhDoesNotAndDeletingFreesItsPlace) {
  BitmapId ids[6];
  for (auto& id : ids) {
    id = Bitmap::dynamicBitmapCreate(128, 128, Bitmap::RGB888);
    ASSERT_NE(id, BITMAP_INVALID);
  }
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(1, 1, Bitmap::RGB888), BITMAP_INVALID);
  EXPECT_TRUE(Bitmap::dynamicBitmapDelete(ids[2]));
  EXPECT_FALSE(Bitmap::dynamicBitmapDelete(ids[2]));  // already gone
  EXPECT_FALSE(Bitmap::dynamicBitmapDelete(BITMAP_INVALID));
  EXPECT_EQ(Bitmap::dynamicBitmapGetAddress(ids[2]), nullptr);
  const BitmapId again = Bitmap::dynamicBitmapCreate(128, 128, Bitmap::RGB888);
  ASSERT_NE(again, BITMAP_INVALID);
  const Bitmap b(again);
  EXPECT_EQ(b.getWidth(), 128);
  EXPECT_EQ(b.getFormat(), Bitmap::RGB888);
  EXPECT_EQ(b.getSolidRect(), Rect(0, 0, 128, 128));
  // The pictures do not overlap: each one's bytes lie apart from the others'.
  for (BitmapId id : {ids[0], ids[1], again, ids[3], ids[4], ids[5]}) {
    for (BitmapId other : {ids[0], ids[1], again, ids[3], ids[4], ids[5]}) {
      if (id == other) continue;
      const auto gap = Bitmap::dynamicBitmapGetAddress(id) - Bitmap::dynamicBitmapGetAddress(other);
      EXPECT_GE(gap < 0 ? -gap : gap, 128 * 128 * 3);
    }
  }
}

TEST_F(DynamicBitmaps, MoreThanTheCacheHoldsIsRefusedUntilRoomIsFreed) {
  // 0x81000 bytes: a 16-bit bitmap of 512 x 516 takes them all, one row more is too much.
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(512, 517, Bitmap::RGB565), BITMAP_INVALID);
  const BitmapId first = Bitmap::dynamicBitmapCreate(512, 258, Bitmap::RGB565);
  ASSERT_NE(first, BITMAP_INVALID);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(512, 259, Bitmap::RGB565), BITMAP_INVALID);
  const BitmapId second = Bitmap::dynamicBitmapCreate(512, 258, Bitmap::RGB565);
  ASSERT_NE(second, BITMAP_INVALID);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(2, 1, Bitmap::RGB565), BITMAP_INVALID);
  EXPECT_TRUE(Bitmap::dynamicBitmapDelete(first));
  EXPECT_NE(Bitmap::dynamicBitmapCreate(512, 258, Bitmap::RGB565), BITMAP_INVALID);
}

// No cache, no size or an id beyond the table gives none.
TEST_F(DynamicBitmaps, NoCacheOrNoSizeGivesNone) {
  EXPECT_EQ(Bitmap(7).getWidth(), 0);
  EXPECT_EQ(Bitmap(7).getData(), nullptr);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(0, 10, Bitmap::RGB888), BITMAP_INVALID);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(10, 10, static_cast<Bitmap::BitmapFormat>(7)),
            BITMAP_INVALID);
  Bitmap::registerBitmapDatabase(nullptr, 0);
  EXPECT_EQ(Bitmap::dynamicBitmapCreate(10, 10, Bitmap::RGB888), BITMAP_INVALID);
}

}  // namespace
}  // namespace gfxtest
