// SDL2 as the window reaches it: the library is loaded when a window opens (dlopen), so that a
// headless run never loads it, nor the fifty libraries it brings along (several milliseconds at
// every start of the simulator). The window's code calls SDL_... as it always would: after this
// header each name stands for the function loaded.
#pragma once

#include <SDL.h>

#include <string>

// Every SDL function the window calls.
#define SIMSDL_CALLS(X)         \
  X(SDL_CloseAudioDevice)       \
  X(SDL_CreateRenderer)         \
  X(SDL_CreateTexture)          \
  X(SDL_CreateWindow)           \
  X(SDL_DestroyRenderer)        \
  X(SDL_DestroyTexture)         \
  X(SDL_DestroyWindow)          \
  X(SDL_EventState)             \
  X(SDL_GetDisplayUsableBounds) \
  X(SDL_GetError)               \
  X(SDL_GetMouseState)          \
  X(SDL_GetTicks)               \
  X(SDL_GetWindowID)            \
  X(SDL_Init)                   \
  X(SDL_InitSubSystem)          \
  X(SDL_OpenAudioDevice)        \
  X(SDL_PauseAudioDevice)       \
  X(SDL_PollEvent)              \
  X(SDL_PushEvent)              \
  X(SDL_Quit)                   \
  X(SDL_RenderClear)            \
  X(SDL_RenderCopy)             \
  X(SDL_RenderPresent)          \
  X(SDL_SetHint)                \
  X(SDL_UpdateTexture)          \
  X(SDL_WaitEventTimeout)       \
  X(SDL_free)                   \
  X(SDL_strdup)

namespace simsdl {

struct Calls {
#define SIMSDL_MEMBER(name) decltype(&::name) name = nullptr;
  SIMSDL_CALLS(SIMSDL_MEMBER)
#undef SIMSDL_MEMBER
};
extern Calls calls;

// Loads the library and every function above (the first time); false, with the reason, when
// it cannot. No SDL function may be called before it has succeeded.
bool load(std::string* reason);

}  // namespace simsdl

// The names for the functions loaded (not where they are loaded).
#ifndef SIMSDL_NO_NAMES
#define SDL_CloseAudioDevice simsdl::calls.SDL_CloseAudioDevice
#define SDL_CreateRenderer simsdl::calls.SDL_CreateRenderer
#define SDL_CreateTexture simsdl::calls.SDL_CreateTexture
#define SDL_CreateWindow simsdl::calls.SDL_CreateWindow
#define SDL_DestroyRenderer simsdl::calls.SDL_DestroyRenderer
#define SDL_DestroyTexture simsdl::calls.SDL_DestroyTexture
#define SDL_DestroyWindow simsdl::calls.SDL_DestroyWindow
#define SDL_EventState simsdl::calls.SDL_EventState
#define SDL_GetDisplayUsableBounds simsdl::calls.SDL_GetDisplayUsableBounds
#define SDL_GetError simsdl::calls.SDL_GetError
#define SDL_GetMouseState simsdl::calls.SDL_GetMouseState
#define SDL_GetTicks simsdl::calls.SDL_GetTicks
#define SDL_GetWindowID simsdl::calls.SDL_GetWindowID
#define SDL_Init simsdl::calls.SDL_Init
#define SDL_InitSubSystem simsdl::calls.SDL_InitSubSystem
#define SDL_OpenAudioDevice simsdl::calls.SDL_OpenAudioDevice
#define SDL_PauseAudioDevice simsdl::calls.SDL_PauseAudioDevice
#define SDL_PollEvent simsdl::calls.SDL_PollEvent
#define SDL_PushEvent simsdl::calls.SDL_PushEvent
#define SDL_Quit simsdl::calls.SDL_Quit
#define SDL_RenderClear simsdl::calls.SDL_RenderClear
#define SDL_RenderCopy simsdl::calls.SDL_RenderCopy
#define SDL_RenderPresent simsdl::calls.SDL_RenderPresent
#define SDL_SetHint simsdl::calls.SDL_SetHint
#define SDL_UpdateTexture simsdl::calls.SDL_UpdateTexture
#define SDL_WaitEventTimeout simsdl::calls.SDL_WaitEventTimeout
#define SDL_free simsdl::calls.SDL_free
#define SDL_strdup simsdl::calls.SDL_strdup
#endif
