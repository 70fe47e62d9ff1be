// Texts: 4-bit glyphs blended over what lies beneath, kerning, the fallback character for
// a missing one, line feeds and alignment, and the label of a button.
#include <string>

#include "gfx_test.h"
#include "touchgfx/Texts.hpp"
#include "touchgfx/TypedText.hpp"
#include "touchgfx/widgets/Box.hpp"
#include "touchgfx/widgets/ButtonWithLabel.hpp"
#include "touchgfx/widgets/TextArea.hpp"

namespace gfxtest {
namespace {

using touchgfx::Rect;
using touchgfx::TypedText;

constexpr colortype WHITE = 0xFFFFFF, BLACK = 0x000000, RED = 0xFF0000;

std::vector<touchgfx::Unicode::UnicodeChar> utf16(const std::string& s) {
  std::vector<touchgfx::Unicode::UnicodeChar> u(s.begin(), s.end());
  u.push_back(0);
  return u;
}

enum { AZ, AQ, AB, TWO_LINES, LABEL };
const std::vector<touchgfx::Unicode::UnicodeChar> texts[] = {utf16("AZ"), utf16("A?"), utf16("AB"),
                                                             utf16("A\nBA"), utf16("B")};
const TypedText::TypedTextData typedTexts[] = {{0, touchgfx::LEFT, touchgfx::TEXT_DIRECTION_LTR},
                                               {0, touchgfx::LEFT, touchgfx::TEXT_DIRECTION_LTR},
                                               {0, touchgfx::LEFT, touchgfx::TEXT_DIRECTION_LTR},
                                               {0, touchgfx::CENTER, touchgfx::TEXT_DIRECTION_LTR},
                                               {0, touchgfx::CENTER, touchgfx::TEXT_DIRECTION_LTR}};

class TextTest : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    static const touchgfx::Texts textTable{};
    fonts[0] = &font;
    TypedText::registerTypedTextDatabase(typedTexts, fonts, 5);
    TypedText::registerTexts(&textTable);
    background.setPosition(0, 0, W, H);
    background.setColor(WHITE);
    screen.add(background);
    app.show(screen);
  }
  // A black text area at (x, y), sized to its text.
  void place(touchgfx::TextArea& area, int id, int x, int y) {
    area.setTypedText(TypedText(static_cast<touchgfx::TypedTextId>(id)));
    area.setColor(BLACK);
    area.setXY(static_cast<int16_t>(x), static_cast<int16_t>(y));
    area.resizeToCurrentText();
    screen.add(area);
  }

  TestFont font;
  const touchgfx::Font* fonts[1] = {};
  ShowApp app;
  touchgfx::Screen screen;
  touchgfx::Box background;
};

// The glyphs sit on the base line 9 rows below a line's top (height 12, 3 below): the 8 rows
// of 'A' start one row below the top, its first column one to the right of the pen. Kerning
// moves the second glyph.
TEST_F(TextTest, GlyphsBlendTheirLevelsOnTheBaseLineAndKerningMovesTheNext) {
  touchgfx::TextArea text;
  place(text, AB, 20, 30);
  frame();
  EXPECT_EQ(shown(21, 31), 0x777777U);  // level 8 of 15: 136 of 255 black over white
  EXPECT_EQ(shown(22, 31), BLACK);
  EXPECT_EQ(shown(22, 38), BLACK);
  EXPECT_EQ(shown(22, 30), WHITE);  // above the glyph
  EXPECT_EQ(shown(22, 39), WHITE);  // below the base line
  EXPECT_EQ(shown(20, 31), WHITE);  // left of the glyph
  // 'A' advances 8; 'B' after 'A' comes 2 pixels closer: its column at 6, not at 8.
  EXPECT_EQ(shown(20 + 6, 34), BLACK);
  EXPECT_EQ(shown(20 + 8, 34), WHITE);
  EXPECT_EQ(text.getWidth(), 8 - 2 + 3);
}

TEST_F(TextTest, MissingCharacterIsDrawnAsTheFallback) {
  touchgfx::TextArea missing, question;
  place(missing, AZ, 10, 100);
  place(question, AQ, 10, 200);
  frame();
  EXPECT_EQ(missing.getWidth(), question.getWidth());
  int differ = 0, marked = 0;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 20; ++x) {
      differ += shown(10 + x, 100 + y) != shown(10 + x, 200 + y);
      marked += shown(10 + x, 100 + y) == BLACK && x >= 8;
    }
  }
  EXPECT_EQ(differ, 0);
  EXPECT_EQ(marked, 8);  // the checker of '?'
}

TEST_F(TextTest, LineFeedsStartLinesAlignedInTheWidgetsWidth) {
  touchgfx::TextArea text;
  place(text, TWO_LINES, 40, 50);
  // "A" over "BA": the wider line sets the width, two lines of 12 the height.
  EXPECT_EQ(text.getWidth(), 11);
  EXPECT_EQ(text.getHeight(), 24);
  frame();
  EXPECT_EQ(shown(40 + 1 + 2, 51), BLACK);  // "A" centred: pen 1, its full column at 2
  EXPECT_EQ(shown(40 + 1, 51), WHITE);
  EXPECT_EQ(shown(40, 12 + 51), BLACK);      // "B" opens the second line
  EXPECT_EQ(shown(40 + 5, 12 + 51), BLACK);  // then "A" at pen 3, full from column 5
}

TEST_F(TextTest, ButtonLabelIsCentredInTheColourOfTheButtonsState) {
  BitmapTable t;
  const auto up = t.addPlain(30, 20, 0x0000FF);
  t.install();
  touchgfx::ButtonWithLabel button;
  button.setBitmaps(touchgfx::Bitmap{up}, touchgfx::Bitmap{up});
  button.setLabelText(TypedText(LABEL));
  button.setLabelColor(WHITE);
  button.setLabelColorPressed(RED);
  button.setXY(100, 100);
  screen.add(button);
  frame();
  // "B" is 3 wide: pen at (30 - 3) / 2 = 13; the label box of 12 rows starts 4 rows down.
  EXPECT_EQ(shown(100 + 13, 100 + 4 + 1), WHITE);
  EXPECT_EQ(shown(100 + 14, 100 + 4 + 1), 0x0000FFU);
  touch.press(105, 105);
  frame();
  EXPECT_EQ(shown(100 + 13, 100 + 4 + 1), RED);
  touch.release();
  frame();
  EXPECT_EQ(shown(100 + 13, 100 + 4 + 1), WHITE);
}

}  // namespace
}  // namespace gfxtest

// The application's texts, from the table above (the firmware's generated code holds the
// real one).
const touchgfx::Unicode::UnicodeChar* touchgfx::Texts::getText(touchgfx::TypedTextId id) const {
  const std::size_t n = sizeof gfxtest::texts / sizeof gfxtest::texts[0];
  return id < n ? gfxtest::texts[id].data() : nullptr;
}
