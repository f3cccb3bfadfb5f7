#pragma once
// ChildProcess: a program started with its standard output on a pipe to us, its standard input
// empty and its standard error shared with ours, in a process group of its own so that the
// terminal's Ctrl-C reaches only us (the supervisor decides what the child is to do about it).
// One backend per platform: posix_spawn (ChildProcess.cpp), CreateProcess (win32/).
// read() may be called from one thread while another calls kill(); wait() after read() has
// seen the end of the output.

#include <memory>
#include <string>
#include <vector>

namespace platform {

class ChildProcess {
public:
    // Starts program with arguments (not counting the program itself); null and error set when
    // it could not be started.
    static std::unique_ptr<ChildProcess> start(const std::string& program, const std::vector<std::string>& arguments,
                                               std::string& error);
    // The path of the running program, for starting another copy of it.
    static std::string selfPath();

    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Appends what the child wrote next; blocks until there is something. False at the end of
    // its output (it ended or closed it).
    bool read(std::string& chunk);
    // Ends the child at once (SIGKILL, TerminateProcess); harmless when it has ended.
    void kill();
    // Waits for the child to end: its exit status, or 128 + the signal that ended it.
    int wait();

private:
    struct Impl;
    explicit ChildProcess(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Interrupts: how many times the operator asked the program to stop since watchInterrupts()
// was called: Ctrl-C counts 1, a request to stop at once (SIGTERM, a console closed) 2. The
// default action (ending the program) no longer applies after that. One backend per platform.
void watchInterrupts();
int interruptCount();

}  // namespace platform
