#pragma once

#include <functional>

// Runs WORK on a thread of its own and returns when it has ended, raising
// whatever it raised. Meanwhile the event loop goes on, so windows repaint
// and timers fire, but the user's input (keys, clicks, the wheel, closing a
// window) is dropped: the program takes none until the work is done.
void runWhileRepainting(const std::function<void()> &work);
