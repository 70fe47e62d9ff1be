// How the simulated processor passes from one kernel task to another: the only part of the
// kernel that knows what runs a task on the host. Each task has a context of its own; exactly
// one context runs at a time, and it runs until it hands the processor to another one.
//
// This implementation runs every task as a coroutine with a stack of its own on the board
// process's one host thread, switched in user space (handover.cpp); the main context (the
// firmware's start-up) is that thread's own stack.
#pragma once

#include <cstddef>

namespace simk::handover {

class Context;

// The context of a task whose body is `body(owner)`; it starts when it first gets the
// processor. Null when the host cannot make one.
Context* create(void* owner, void (*body)(void* owner));

// The `owner` of the calling context; null in the main context.
void* self();

// The calling context (`from`; null for the main context) gives the processor to `to` and
// returns when it gets the processor back.
void pass(Context* from, Context* to);

// The calling context (null for main) never runs again; the processor is not handed on here.
[[noreturn]] void stay(Context* from);

// A fresh main context at power-on.
void reset();

}  // namespace simk::handover
