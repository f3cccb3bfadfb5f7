#pragma once
// VirtualModule: the far end of the serial line as the module's console behaves — login and
// password prompts, the command prompt, the Quick Setup question, "reboot"/"Yes" and the
// restart whose "Initializing...." three ESC bytes interrupt, the AT command mode with AT{P},
// AT{E}, AT{Z} and AT{.}, and the replies to Show System, Show Memory and List Files.
// It is driven only by the bytes it receives and the times it is given: every answer is queued
// with the time it reaches the host, so it runs on SimSerialDevice under a VirtualClock as well
// as on a pseudo-terminal in real time. It never blocks and never reads a clock.
// During a download it hands every byte to a receive session made by ModuleConfig::receiver.
// Thread-safe: a test may read its records while a worker thread talks to it.

#include "sim/ILinePeer.h"
#include "sim/IReceiveSession.h"
#include "sim/ModuleConfig.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

// What the module has done so far, for tests to check the effect of a dialogue.
struct ModuleStats {
    int logins = 0;             // accepted logins
    int refusedLogins = 0;
    int quickSetupDeclined = 0;
    int restarts = 0;           // restarts begun ("Yes" after "reboot", AT{E})
    int commandModeEntries = 0; // boots interrupted with ESC x3
    int bootsCompleted = 0;     // boots not interrupted
    int flashPrepared = 0;      // AT{P} done
    int configErased = 0;       // AT{E}
    int downloads = 0;          // AT{Z}
    int fastDownloads = 0;      // AT{.}
    int downloadsFinished = 0;  // receive session over (or swallow time up)
    int downloadsRefused = 0;   // cancelled at the sender's first bytes (refuseTransfers)
    int restartsInDownload = 0; // downloads cut by a restart of the module's own (restartInDownload)
};

class VirtualModule final : public ILinePeer {
public:
    enum class State {
        Login,            // waiting for a user name
        Password,         // waiting for the password
        LoginPause,       // a refused login, before the module says so
        QuickSetup,       // the Quick Setup question is open
        Prompt,           // logged in at the command prompt
        RebootQuestion,   // "reboot" typed, waiting for "Yes"
        Booting,          // restarting, before "Initializing...."
        Initializing,     // the escape window
        BootFinishing,    // not interrupted: the rest of the boot
        CommandConfirm,   // command mode waiting for "Yes"
        CommandMode,
        Preparing,        // AT{P} at work
        Receiving,        // a download in progress
        WritingFlash,     // download over, writing
        Silent,
        Chatter,
    };

    // Console texts the system recognises.
    static constexpr const char* kLogin = "Login:";
    static constexpr const char* kPassword = "Password:";
    static constexpr const char* kQuickSetup = "Do you want to continue with Tarvel Quick Setup?";
    static constexpr const char* kInitializing = "Initializing....";
    static constexpr const char* kHelpLine = "AT{?} ............. To get help";
    static constexpr const char* kRemaining = "Remaining in AT command mode.";
    static constexpr const char* kConfirm = "Enter yes to continue:";

    explicit VirtualModule(ModuleConfig config, std::int64_t startUs = 0);
    ~VirtualModule() override;

    void advance(std::int64_t nowUs) override;
    void receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs) override;
    std::int64_t nextEventUs() const override;
    TimedByteQueue& output() override { return out_; }
    std::uint32_t baudRate() const override;
    void hostLineChanged(bool open, std::uint32_t baudRate, std::int64_t nowUs) override;

    State state() const;
    ModuleStats stats() const;
    // Every byte the module received, as it arrived (garbled bytes included).
    std::string received() const;
    // The console lines it acted on, in order (the password shown as "*").
    std::vector<std::string> lines() const;
    // Everything it has said so far (queued or delivered).
    std::string said() const;
    const ModuleConfig& config() const { return cfg_; }

    // The replies as the module lays them out (without the prompt that follows).
    static std::string systemReplyFor(const ModuleConfig& cfg);
    static std::string memoryReplyFor(const ModuleConfig& cfg);
    static std::string listingReplyFor(const ModuleConfig& cfg);

private:
    enum class Timer { None, LoginRefused, ShowInitializing, EscapeWindowOver, BootDone,
                       CommandModeBack, RepeatRemaining, DownloadOver, Chatter };

    void runDueTimers(std::int64_t nowUs);
    void fire(Timer t, std::int64_t atUs);
    void setTimer(Timer t, std::int64_t atUs);
    void handleByte(std::uint8_t b, std::int64_t nowUs);
    void handleLine(const std::string& line, std::int64_t nowUs);
    void processHeldInput(std::int64_t nowUs);
    bool holdsInput() const;

    void say(const std::string& text, std::int64_t atUs, bool chunked = true);
    void showCurrentPrompt(std::int64_t atUs);
    void enterConsole(State s, std::int64_t atUs);
    void beginRestart(std::int64_t atUs);
    void enterCommandMode(std::int64_t atUs);
    void showCommandMode(std::int64_t atUs, const char* line);
    void beginDownload(bool fast, std::int64_t nowUs);
    void endDownload(std::int64_t nowUs);
    void refuseDownload(std::int64_t nowUs);
    void promptLine(const std::string& cmd, std::int64_t nowUs);
    void commandLine(const std::string& cmd, std::int64_t nowUs);
    std::int64_t replyAt(std::int64_t nowUs) const { return nowUs + cfg_.replyDelayUs; }
    std::int64_t usPerByte() const;

    ModuleConfig cfg_;
    mutable std::recursive_mutex mutex_;
    TimedByteQueue out_;
    State state_;
    State afterQuickSetup_ = State::Prompt;
    int quickSetupLeft_;
    Timer timer_ = Timer::None;
    std::int64_t timerUs_ = TimedByteQueue::kNever;
    std::int64_t lastNowUs_ = 0;
    std::string lineBuffer_;
    std::deque<std::uint8_t> held_;  // input typed while the module is not listening yet
    std::string typedUser_;
    int escCount_ = 0;
    bool fastDownload_ = false;
    bool refusing_ = false;      // this download is to be refused at the sender's first byte
    bool lastRefused_ = false;   // the download that just ended was refused
    std::unique_ptr<IReceiveSession> session_;
    int chatterCount_ = 0;
    int answers_ = 0;                   // texts said so far (for the reply faults)
    std::int64_t downloadBytes_ = 0;    // bytes of the current download (for a restart in it)
    ModuleStats stats_;
    std::string received_;
    std::string said_;
    std::vector<std::string> lines_;
};

}  // namespace sim
