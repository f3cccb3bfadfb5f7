#pragma once
// LocalLoop: a nested message loop on the GUI thread, for a page that waits for work running
// on another thread while the windows keep painting and sent calls (runOnGuiThread, message
// boxes from that thread) are handled. exec() runs the loop until quit(); quit() may be called
// from any thread, before exec() too (exec then returns at once).
// One exec per object. Defined by the window backend.

#include <memory>

namespace ui {

class LocalLoop {
public:
    LocalLoop();
    ~LocalLoop();
    LocalLoop(const LocalLoop&) = delete;
    LocalLoop& operator=(const LocalLoop&) = delete;

    void exec();
    void quit();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace ui
