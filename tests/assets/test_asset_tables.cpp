// The generated asset tables as the screens use them: the bitmap table (ids, sizes, formats,
// solid rectangles, placement in the external flash section), the fonts behind the font
// provider (metrics, exactly their characters, fallback) and the texts' unknown ids.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "BitmapDatabase.hpp"
#include "fonts/ApplicationFontProvider.hpp"
#include "texts/TextKeysAndLanguages.hpp"
#include "texts/TypedTextDatabase.hpp"
#include "touchgfx/FontManager.hpp"
#include "touchgfx/Texts.hpp"
#include "touchgfx/TypedText.hpp"

extern "C" const uint8_t __start_ExtFlashSection[];
extern "C" const uint8_t __stop_ExtFlashSection[];

namespace {

using touchgfx::Bitmap;
using touchgfx::Font;
using touchgfx::GlyphNode;
using UChar = touchgfx::Unicode::UnicodeChar;

std::u16string u16(const UChar* s) {
  std::u16string out;
  while (s != nullptr && *s != 0) out.push_back(static_cast<char16_t>(*s++));
  return out;
}

struct BitmapRow {
  uint16_t id;
  uint16_t width, height;
  uint8_t format;
};

const BitmapRow kBitmaps[] = {
    {BITMAP_DREIECKBLAU_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_DREIECKGELB_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_DREIECKGRUEN_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_DREIECKROT_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_HINTERGRUND_OVERVIEW_ID, 272, 480, Bitmap::ARGB8888},
    {BITMAP_HINTERGRUND_SVG_ID, 272, 480, Bitmap::ARGB8888},
    {BITMAP_KREISBLAU_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_KREISGELB_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_KREISGRUEN_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_KREISROT_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_QUADRATBLAU_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_QUADRATGELB_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_QUADRATGRUEN_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_QUADRATROT_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_STERNBLAU_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_STERNGELB_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_STERNGRUEN_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_STERNROT_ID, 68, 68, Bitmap::ARGB8888},
    {BITMAP_USBDA_ID, 213, 248, Bitmap::ARGB8888},
    {BITMAP_USBWEG_ID, 198, 238, Bitmap::ARGB8888},
    {BITMAP_BAR_ID, 272, 10, Bitmap::ARGB8888},
    {BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_ID, 170, 60, Bitmap::ARGB8888},
    {BITMAP_BLUE_BUTTONS_ROUND_EDGE_SMALL_PRESSED_ID, 170, 60, Bitmap::ARGB8888},
    {BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_INDICATORS_SLIDER3_VERTICAL_ROUND_NOB_ID, 34, 54,
     Bitmap::ARGB8888},
    {BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_SLIDER3_VERTICAL_ROUND_BACK_ID, 20, 332, Bitmap::ARGB8888},
    {BITMAP_BLUE_SLIDER_VERTICAL_MEDIUM_SLIDER3_VERTICAL_ROUND_FILL_ID, 20, 332, Bitmap::ARGB8888},
    {BITMAP_BLUE_SLIDER_VERTICAL_SMALL_INDICATORS_SLIDER3_VERTICAL_ROUND_NOB_ID, 34, 54,
     Bitmap::ARGB8888},
    {BITMAP_BLUE_SLIDER_VERTICAL_SMALL_SLIDER3_VERTICAL_ROUND_BACK_ID, 20, 172, Bitmap::ARGB8888},
    {BITMAP_BLUE_SLIDER_VERTICAL_SMALL_SLIDER3_VERTICAL_ROUND_FILL_ID, 20, 172, Bitmap::ARGB8888},
    {BITMAP_BLUE_TOGGLEBARS_TOGGLE_ROUND_LARGE_BUTTON_OFF_ID, 128, 38, Bitmap::ARGB8888},
    {BITMAP_BLUE_TOGGLEBARS_TOGGLE_ROUND_LARGE_BUTTON_ON_ID, 128, 38, Bitmap::ARGB8888},
    {BITMAP_NOTE_ID, 128, 128, Bitmap::RGB565},
    {BITMAP_ORDNERVOR_ID, 72, 128, Bitmap::ARGB8888},
    {BITMAP_ORDNERZURUECK_ID, 72, 128, Bitmap::ARGB8888},
    {BITMAP_OVERVIEW_BACK_ID, 91, 72, Bitmap::ARGB8888},
    {BITMAP_OVERVIEW_FWD_ID, 89, 72, Bitmap::ARGB8888},
    {BITMAP_OVERVIEW_RWD_ID, 90, 72, Bitmap::ARGB8888},
    {BITMAP_PLAYPAUSE_ID, 128, 60, Bitmap::ARGB8888},
    {BITMAP_VOR_ID, 72, 60, Bitmap::ARGB8888},
    {BITMAP_ZURUECK_ID, 72, 60, Bitmap::ARGB8888},
};

TEST(BitmapTable, FortyEntriesWithTheIdsSizesAndFormatsOfTheNames) {
  ASSERT_EQ(BitmapDatabase::getInstanceSize(), 40);
  ASSERT_EQ(std::size(kBitmaps), 40U);
  const Bitmap::BitmapData* table = BitmapDatabase::getInstance();
  uint32_t bytes = 0;
  for (uint16_t i = 0; i < 40; ++i) {
    SCOPED_TRACE(i);
    const BitmapRow& row = kBitmaps[i];
    EXPECT_EQ(row.id, i);  // ids in the byte order of the names
    EXPECT_EQ(table[i].width, row.width);
    EXPECT_EQ(table[i].height, row.height);
    EXPECT_EQ(table[i].format, row.format);
    EXPECT_EQ(table[i].extraData, nullptr);
    // Pixels in the external flash section, one after the other.
    EXPECT_EQ(table[i].data, __start_ExtFlashSection + bytes);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(table[i].data) % 4, 0U);
    bytes += uint32_t{row.width} * row.height * (row.format == Bitmap::RGB565 ? 2 : 4);
  }
  EXPECT_EQ(bytes, 0x21D210U);
  EXPECT_EQ(__stop_ExtFlashSection - __start_ExtFlashSection, 0x21D210);
}

bool opaque(const Bitmap::BitmapData& b, int x, int y) {
  if (b.format == Bitmap::RGB565) return true;
  return b.data[(static_cast<size_t>(y) * b.width + x) * 4 + 3] == 255;
}

bool opaqueRect(const Bitmap::BitmapData& b, int x0, int y0, int w, int h) {
  if (x0 < 0 || y0 < 0 || x0 + w > b.width || y0 + h > b.height) return false;
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      if (!opaque(b, x, y)) return false;
    }
  }
  return true;
}

TEST(BitmapTable, SolidRectanglesAreOpaqueAndCannotGrow) {
  const Bitmap::BitmapData* table = BitmapDatabase::getInstance();
  for (uint16_t i = 0; i < 40; ++i) {
    SCOPED_TRACE(i);
    const Bitmap::BitmapData& b = table[i];
    const int x = b.solidRect_x, y = b.solidRect_y, w = b.solidRect_width, h = b.solidRect_height;
    ASSERT_GT(w * h, 0);
    EXPECT_TRUE(opaqueRect(b, x, y, w, h));
    // Not a needlessly small one: no side can move out by a pixel.
    EXPECT_FALSE(opaqueRect(b, x - 1, y, w + 1, h));
    EXPECT_FALSE(opaqueRect(b, x, y - 1, w, h + 1));
    EXPECT_FALSE(opaqueRect(b, x, y, w + 1, h));
    EXPECT_FALSE(opaqueRect(b, x, y, w, h + 1));
  }
}

TEST(Fonts, ProviderGivesTheFourFontsAndNothingElse) {
  ApplicationFontProvider provider;
  const Font* const byGetter[] = {&getFont_verdana_20_4bpp(), &getFont_verdana_40_4bpp(),
                                  &getFont_verdana_10_4bpp(), &getFont_verdana_18_4bpp()};
  const uint16_t heights[] = {20, 40, 10, 18};
  const uint8_t below[] = {4, 0, 0, 4};
  for (touchgfx::FontId id = 0; id < 4; ++id) {
    SCOPED_TRACE(id);
    const Font* f = provider.getFont(id);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f, byGetter[id]);  // built once
    EXPECT_EQ(f->getFontHeight(), heights[id]);
    EXPECT_EQ(f->getPixelsBelowBaseline(), below[id]);
    EXPECT_EQ(f->getBitsPerPixel(), 4);
    EXPECT_EQ(f->getFallbackChar(), u'?');
  }
  for (touchgfx::FontId id : {4, 5, 100, 0xFFFF}) EXPECT_EQ(provider.getFont(id), nullptr) << id;
  // Through the framework's font manager too.
  touchgfx::FontManager::setFontProvider(&provider);
  EXPECT_EQ(touchgfx::FontManager::getFont(3), byGetter[3]);
  EXPECT_EQ(touchgfx::FontManager::getFont(4), nullptr);
  touchgfx::FontManager::setFontProvider(nullptr);
}

// The characters of the texts that use each font, and the fallback.
std::set<char16_t> expectedCharacters(touchgfx::FontId font) {
  std::set<char16_t> chars = {u'?'};
  const touchgfx::TypedText::TypedTextData* typed = TypedTextDatabase::getInstance(GB);
  touchgfx::Texts::setLanguage(GB);
  const touchgfx::Texts texts;
  for (uint16_t id = 0; id < NUMBER_OF_TEXT_KEYS; ++id) {
    if (typed[id].fontIdx != font) continue;
    for (char16_t c : u16(texts.getText(id))) {
      if (c != u'\n') chars.insert(c);
    }
  }
  return chars;
}

TEST(Fonts, EachHoldsExactlyTheCharactersOfItsTextsAndFallsBackToQuestionMark) {
  ApplicationFontProvider provider;
  const size_t counts[] = {32, 1, 1, 0};  // font 3: those of our own credits
  for (touchgfx::FontId id = 0; id < 4; ++id) {
    SCOPED_TRACE(id);
    const Font& f = *provider.getFont(id);
    const std::set<char16_t> expected = expectedCharacters(id);
    if (counts[id] != 0) {
      EXPECT_EQ(expected.size(), counts[id]);
    }
    size_t held = 0;
    for (uint32_t u = 1; u <= 0xFFFF; ++u) {
      const GlyphNode* g = f.getGlyph(static_cast<UChar>(u));
      ASSERT_NE(g, nullptr);
      if (expected.count(static_cast<char16_t>(u))) {
        ++held;
        EXPECT_EQ(g->unicode, u);
      } else {
        ASSERT_EQ(g->unicode, u'?') << "U+" << std::hex << u;  // the fallback's glyph
      }
    }
    EXPECT_EQ(held, expected.size());
  }
  const Font& f0 = *provider.getFont(0);
  EXPECT_EQ(f0.getGlyph(u'#'), f0.getGlyph(u'?'));
  EXPECT_EQ(f0.getGlyph(u'\u00E4'), f0.getGlyph(u'?'));
  // A missing character is as wide as '?'.
  const UChar missing[] = {u'C', u'#', 0}, shown[] = {u'C', u'?', 0};
  EXPECT_EQ(f0.getStringWidth(missing), f0.getStringWidth(shown));
}

// Unknown text ids and languages give nothing, and change nothing. (The texts themselves, in
// their fonts and alignments, are in the screens' reference pictures.)
TEST(Texts, UnknownIdsAndLanguagesGiveNothing) {
  ASSERT_EQ(NUMBER_OF_TEXT_KEYS, 11);
  touchgfx::Texts::setLanguage(GB);
  const touchgfx::TypedText unknown(11);
  EXPECT_FALSE(unknown.hasValidId());
  EXPECT_EQ(unknown.getFont(), nullptr);
  EXPECT_EQ(touchgfx::Unicode::strlen(unknown.getText()), 0);
  EXPECT_EQ(touchgfx::Unicode::strlen(touchgfx::Texts().getText(0xFFFF)), 0);
  touchgfx::Texts::setLanguage(1);
  EXPECT_EQ(touchgfx::Texts::getLanguage(), GB);
  EXPECT_EQ(u16(touchgfx::TypedText(0).getText()), u"Close");
}

}  // namespace
