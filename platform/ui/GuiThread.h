#pragma once
// runOnGuiThread: the SendMessage stand-in for code on other threads. Runs fn on the GUI thread
// and returns when it has run: directly when called on the GUI thread, otherwise through a
// blocking call that the GUI thread's message loop (any loop, modal ones and LocalLoop included)
// handles. The GUI thread must not be waiting for the calling thread at that moment.
// onGuiThread: whether the caller is the GUI thread (true before the application exists).
// Both are defined by the window backend.

#include <functional>

bool onGuiThread();
void runOnGuiThread(const std::function<void()>& fn);
