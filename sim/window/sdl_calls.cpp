// SDL2 loaded when a window opens (sdl_calls.h).
#define SIMSDL_NO_NAMES  // here SDL_... are the library's own names
#include "sdl_calls.h"

#include <dlfcn.h>

#include <string>

namespace simsdl {

Calls calls;

bool load(std::string* reason) {
  static void* library = nullptr;
  if (library != nullptr) return true;
  // The name the library's run-time package installs (the development package adds the bare
  // libSDL2.so).
  void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    *reason = std::string("cannot load SDL2: ") + (error != nullptr ? error : "?");
    return false;
  }
  Calls loaded;
  bool complete = true;
  // Each function by its name.
#define SIMSDL_LOAD(name)                                                      \
  loaded.name = reinterpret_cast<decltype(loaded.name)>(dlsym(handle, #name)); \
  if (loaded.name == nullptr) {                                                \
    *reason = "SDL2 lacks " #name;                                             \
    complete = false;                                                          \
  }
  SIMSDL_CALLS(SIMSDL_LOAD)
#undef SIMSDL_LOAD
  if (!complete) {
    dlclose(handle);
    return false;
  }
  calls = loaded;
  library = handle;
  return true;
}

}  // namespace simsdl
