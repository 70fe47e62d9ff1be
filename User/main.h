// Start-up of the player and the failure path of chip set-up.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// A chip unit refused its set-up: "ErrorHandler" on the console, then nothing more.
[[noreturn]] void Error_Handler(void);
void MainThread(const void* argument);

#ifdef __cplusplus
}
#endif

void stm32f7DiscoInit();
