// The graphics configuration: the frame buffers and the dynamic-bitmap cache in SDRAM, the
// asset tables, and the start of the user interface (screens, application and model, whose
// construction creates the queues to and from the core).
#include <stdint.h>

#include "BitmapDatabase.hpp"
#include "board_memory.h"
#include "fonts/ApplicationFontProvider.hpp"
#include "gui/common/FrontendHeap.hpp"
#include "texts/TextKeysAndLanguages.hpp"
#include "touchgfx/Bitmap.hpp"
#include "touchgfx/FontManager.hpp"
#include "touchgfx/Texts.hpp"
#include "touchgfx/hal/HAL.hpp"
#include "touchgfx_board.h"

namespace {

// The 480 x 272 panel at 24 bits a pixel.
constexpr uint32_t FRAME_BUFFER_BYTES = 480U * 272U * 3U;
// Room for the six overview pictures (128 x 128, 24 bits) and the main screen's, with room
// to spare, for at most six dynamic bitmaps at a time.
constexpr uint32_t BITMAP_CACHE_BYTES = 0x81000;
constexpr uint32_t DYNAMIC_BITMAPS = 6;

}  // namespace

// The graphics memory at the bottom of the SDRAM: the frame buffer and its double, then the
// animation storage of a slide, then the dynamic-bitmap cache right after them.
struct GraphicsSdram {
  uint8_t frameBuffers[3 * FRAME_BUFFER_BYTES];
  uint16_t bitmapCache[BITMAP_CACHE_BYTES / sizeof(uint16_t)];
};
SDRAM_DATA alignas(32) GraphicsSdram graphicsSdram;

namespace {

ApplicationFontProvider fontProvider;

}  // namespace

extern "C" void touchgfx_init(void) {
  touchgfx::HAL::getInstance()->setFrameBufferStartAddress(graphicsSdram.frameBuffers, 24, true,
                                                           true);
  touchgfx::Bitmap::registerBitmapDatabase(
      BitmapDatabase::getInstance(), BitmapDatabase::getInstanceSize(), graphicsSdram.bitmapCache,
      BITMAP_CACHE_BYTES, DYNAMIC_BITMAPS);
  touchgfx::Texts::setLanguage(GB);
  touchgfx::FontManager::setFontProvider(&fontProvider);
  // The application, then the model; the heap asks for the start screen (UsbWeg).
  (void)FrontendHeap::getInstance();
}
