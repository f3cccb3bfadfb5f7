#pragma once
// PseudoTerminal: one pseudo-terminal pair, owned. open() creates the master (posix_openpt,
// grantpt, unlockpt), finds the slave's path (ptsname) and puts the slave into raw mode
// (8 bits, no echo, no line editing, no flow control, no output processing), so that every byte
// crosses unchanged. The object keeps a slave descriptor open as well, so that the master does
// not see a hang-up while the program under test closes and reopens the slave path; call
// closeSlave() to let the other side's close reach the master.
// The master is non-blocking (readSome/writeAll wait with poll); make it blocking before it
// becomes another program's standard input and output. Both descriptors are closed by the
// destructor. readSome and writeAll may run on one reader and one writer thread at once.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace sim {

class PseudoTerminal {
public:
    // nullptr on failure; error (if given) then says which step failed and why.
    static std::unique_ptr<PseudoTerminal> open(std::string* error = nullptr);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int masterFd() const { return master_; }
    // -1 after closeSlave().
    int slaveFd() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }
    void closeSlave();
    // Closes both ends: whoever still has the slave open sees the line hang up, as when a USB
    // adapter is pulled. masterFd() is -1 afterwards.
    void hangUp();
    bool setMasterBlocking(bool blocking);

    // Raw mode on any terminal descriptor; false when it is not a terminal.
    static bool makeRaw(int fd);

    // Reads what is there from the master, waiting at most timeoutMs for the first byte
    // (-1 = no limit): the byte count, 0 on time-out, -1 when the other side has gone.
    long readSome(std::uint8_t* buffer, std::size_t size, int timeoutMs);
    // Writes all bytes to the master, waiting at most timeoutMs for room each time the buffer
    // is full; false on error or time-out.
    bool writeAll(const std::uint8_t* data, std::size_t size, int timeoutMs);

private:
    PseudoTerminal(int master, int slave, std::string slavePath);
    int master_;
    int slave_;
    std::string slavePath_;
};

}  // namespace sim
