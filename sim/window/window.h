// The simulator's window: the device on the desktop (SDL2). It runs in a process of its own,
// made before the board's first life, and reaches the board only through the shared block of
// device_link.h: its inputs go into the board's inbox as scenario command lines, and it shows
// the picture, lights and controls the board publishes and plays the speaker's ring.
//
// Between the simulator (which runs the board's lives) and the window a pipe carries the
// person's requests that concern the lives themselves: switching the board on, and closing
// the window.
#pragma once

#include <sys/types.h>

#include <string>

#include "device_link.h"

namespace simwin {

struct Handle {
  pid_t pid = -1;
  int events = -1;  // the window's requests
  simlink::Link* link = nullptr;
  bool closed = false;        // the person closed the window (or it went away)
  bool powerOnAsked = false;  // the power key was pressed while the board was off
};

// Opens the window in a process of its own for the board of `link`. False when there is no
// display to open it on; `reason` says why.
bool open(simlink::Link* link, Handle* handle, std::string* reason);

// Reads the window's requests that have come, waiting at most `timeoutMs` (-1: until one
// comes) and returning at once when `alsoFd` (>= 0) becomes readable. Sets handle->closed or
// handle->powerOnAsked.
void poll(Handle* handle, int timeoutMs, int alsoFd = -1);

// The run is over: the window closes and its process ends.
void close(Handle* handle);

}  // namespace simwin
