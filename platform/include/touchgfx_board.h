/* Board adaptation of the graphics framework: display hardware, the framework's kernel
 * objects and its main loop. The application provides touchgfx_init(). */
#ifndef TOUCHGFX_BOARD_H
#define TOUCHGFX_BOARD_H

#ifdef __cplusplus
extern "C" {
#endif

void GRAPHICS_HW_Init(void);
void GRAPHICS_Init(void);
void GRAPHICS_MainTask(void);

/* The application's part: constructs its screens, model and application object. */
void touchgfx_init(void);

#ifdef __cplusplus
}
#endif

#endif
