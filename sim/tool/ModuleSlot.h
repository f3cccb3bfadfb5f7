#pragma once
// ModuleSlot: one place on tarvel-sim's bench: a pseudo-terminal (with its link, if any) and the
// virtual module on it, run by a PtyModuleRunner on a thread of the slot's own, so that the
// modules of a bench never wait for one another.
//
// replace() puts a new module in the old one's place, as when another module is plugged into
// the same cable: the pty, its path and what the host has already been given stay; what the
// host sent that the old module had not taken yet, and what the old module had not sent yet, are
// lost. The new module starts in the initial state that the slot's options describe (and with
// their faults), and shows its start prompt as a freshly started module does. A hang-up fault
// closes the pty, which hangs up the host's side as a pulled USB adapter does; with
// waitAfterHangUp the slot then stays empty, its link removed, until replace(), which makes a new
// pty, points the link at it and reports its path (a new adapter with a new module behind it);
// without it the slot ends. replug() does both at once: the adapter is pulled (pty closed, link
// removed) and a second later a new one with a new module is plugged in, so that a host
// watching for devices sees the port go and come back.
//
// report() stores the modules' complete files and writes the per-file reports to stderr; it is
// called from one thread. replace(), stop() and the state queries may come from any thread (not
// from a signal handler).

#include "platform/IClock.h"
#include "sim/PseudoTerminal.h"
#include "sim/PtyModuleRunner.h"
#include "sim/VirtualModule.h"
#include "sim/ZModemReceiver.h"
#include "sim/tool/ReceivedFileWriter.h"
#include "sim/tool/SimOptions.h"

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class ModuleSlot {
public:
    // tag goes after "tarvel-sim: " in every line the slot writes ("" or "module 3: ").
    ModuleSlot(SimOptions options, std::string link, std::filesystem::path store, std::string tag,
               platform::IClock& clock, bool waitAfterHangUp);
    ~ModuleSlot();
    ModuleSlot(const ModuleSlot&) = delete;
    ModuleSlot& operator=(const ModuleSlot&) = delete;

    // Opens the pty, makes the link and starts the module; false with error set on failure.
    bool start(std::string& error);
    // The device path of the current pty ("" while a hung-up slot waits for its replacement).
    std::string path() const;
    void replace();
    void replug();
    // Stops the module and joins the thread; the link is removed if it is still ours.
    void stop();
    // Hung up, waiting for replace().
    bool unplugged() const;
    // The thread has ended: stop(), a hang-up without waitAfterHangUp, or a failed pty (failed()).
    bool ended() const;
    bool failed() const;
    // Modules that have run in this slot so far.
    int generation() const;
    void report();

    // Makes link a symbolic link to target, replacing an old link but never another file.
    static bool makeLink(const std::string& link, const std::string& target, std::string& error);

private:
    struct Instance;
    void loop();
    bool openPty(std::string& error);
    void reportLocked();
    void removeLinkLocked();
    // A line of the --log file: wall-clock seconds, the slot's tag and the text, flushed at once.
    void logLine(const std::string& text);

    SimOptions options_;
    std::string link_;
    std::filesystem::path store_;
    std::string tag_;
    platform::IClock& clock_;
    bool waitAfterHangUp_;
    std::FILE* log_ = nullptr;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<sim::PseudoTerminal> pty_;
    std::string path_;
    std::unique_ptr<Instance> instance_;
    sim::PtyModuleRunner* runner_ = nullptr;
    bool stop_ = false;
    bool replace_ = false;
    bool replug_ = false;
    bool ended_ = false;
    bool failed_ = false;
    bool unplugged_ = false;
    int generation_ = 0;
    std::thread thread_;
};
