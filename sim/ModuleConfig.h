#pragma once
// ModuleConfig: everything in which one virtual module differs from another — where its console
// starts, its credentials and prompt, what its replies report, how fast and in what pieces it
// answers, and the faults it can show (silence, endless chatter, a boot that cannot be
// interrupted). The defaults describe a healthy module logged in at "Tarvel>", running 2.0.10
// with plenty of memory and flash. All times are microseconds of line time.

#include "sim/IReceiveSession.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The console state the module is in when the simulation starts.
enum class ConsoleStart {
    LoggedOut,      // asks "Login:"
    PasswordFirst,  // a user name was typed earlier: shows "Password:"
    AtPrompt,       // logged in at its command prompt
    Restarting,     // shows "Initializing....", the escape window is open
    CommandMode,    // left in command mode by an earlier run: shows its help line (or asks for
                    // its confirmation, with confirmCommandMode)
};

struct ModuleFile {
    std::string name;
    std::int64_t size = 0;
};

struct ModuleConfig {
    // --- console state and login ---
    ConsoleStart start = ConsoleStart::AtPrompt;
    std::string prompt = "Tarvel>";  // should end in '>' to be recognised as the command prompt
    std::string username = "admin";
    std::string password = "tarvel";
    // The start state's prompt is already on the line when the host first reads (it was printed
    // before the host opened the port). Off: the module says nothing until it is woken.
    bool promptAtStart = true;
    // After a boot that was not interrupted the console asks "Login:" (else it is at its prompt).
    bool loginAfterBoot = true;
    // Times the first-start "Do you want to continue with Tarvel Quick Setup?" question is asked
    // before the console shows its prompt (each "NO" declines one).
    int quickSetupTimes = 0;
    // Characters typed at the console are echoed (never the password, never ESC).
    bool echo = false;

    // --- replies ---
    std::string version = "2.0.10";
    std::string memoryFigure = "16384";  // first word after "Total System Memory Resources:"
    std::string threshold = "8192";      // the listing's "Threshold" figure
    std::vector<ModuleFile> files = {
        {"quorvel.bin.z", 2'841'600},  {"rtboot.bin", 131'072},   {"event-log.local", 16'384},
        {"system.cfg", 24'576},        {"users.cfg", 2'048},
    };
    // Exact replies instead of the generated ones (for layouts the generator does not make, such
    // as a reply that lacks its label). The prompt line follows them as usual.
    std::optional<std::string> systemReply;
    std::optional<std::string> memoryReply;
    std::optional<std::string> listingReply;

    // --- timing ---
    std::int64_t replyDelayUs = 20'000;          // from a command's CR to the first byte of its answer
    std::int64_t loginFailDelayUs = 2'000'000;   // a refused login answers after this pause
    std::int64_t bootDelayUs = 2'000'000;        // restart ("Yes" or AT{E} done) to "Initializing...."
    std::int64_t escapeWindowUs = 10'000'000;    // "Initializing...." waits this long for ESC x3
    std::int64_t bootFinishUs = 5'000'000;       // rest of an uninterrupted boot, then the console
    std::int64_t prepareFlashUs = 6'000'000;     // AT{P} until command mode shows again
    std::int64_t eraseUs = 1'500'000;            // AT{E} until the restart begins
    std::int64_t flashWriteUs = 2'000'000;       // end of a download until command mode shows again
    std::int64_t noReceiverDownloadUs = 20'000'000;  // without a receiver: how long bytes are swallowed
    // Command mode repeats "Remaining in AT command mode." this often while idle; 0 = never.
    std::int64_t commandModeRepeatUs = 5'000'000;
    // Command mode asks "Enter yes to continue:" on entry and takes commands only after "Yes".
    bool confirmCommandMode = false;

    // --- how output leaves the module ---
    bool paceOutput = true;     // bytes spaced at the module's line speed
    // Split the last line of every answer after this many characters, the rest following
    // chunkGapUs later ("Log" ... "in: "). 0 = answers come whole.
    std::size_t chunkAt = 0;
    std::int64_t chunkGapUs = 250'000;
    // Only answers whose last line begins with this text are split (empty: every answer).
    std::string chunkOnly;

    // --- line speeds ---
    std::uint32_t consoleBaud = 38'400;
    std::uint32_t fastBaud = 115'200;  // during a download announced with AT{.}

    // --- faults ---
    bool silent = false;         // never says anything
    bool chatter = false;        // prints a status line every chatterIntervalUs, forever, and nothing else
    std::int64_t chatterIntervalUs = 1'000'000;
    bool ignoreEscape = false;   // ESC cannot interrupt the boot
    // The first N downloads are refused: the receiver answers the sender's first bytes with the
    // ZModem cancel sequence and the module returns to command mode flashWriteUs later.
    int refuseTransfers = 0;
    // From this time on the module says nothing more (it hangs, or the cable was pulled).
    std::int64_t hangAtUs = std::numeric_limits<std::int64_t>::max();
    // The module restarts by itself (a watchdog, a power dip) once download number
    // restartInDownload (from 1) has brought restartAfterBytes bytes: the receiver is dropped
    // and the boot runs as after "reboot". 0 = never.
    int restartInDownload = 0;
    std::int64_t restartAfterBytes = 0;
    // Answers number replyFaultFrom (from 0, counting every text the console says) to
    // replyFaultFrom + replyFaultCount - 1 reach the host damaged in the way replyFault says.
    enum class ReplyFault { None, Cut, Garble, Repeat };
    ReplyFault replyFault = ReplyFault::None;
    int replyFaultFrom = 0;
    int replyFaultCount = 0;

    // --- download ---
    // Makes the ZModem receiver of a download; empty = bytes are swallowed for noReceiverDownloadUs.
    ReceiveSessionFactory receiver;
};

}  // namespace sim
