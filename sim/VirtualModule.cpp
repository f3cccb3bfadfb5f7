#include "sim/VirtualModule.h"

#include <algorithm>
#include <cctype>

namespace sim {

namespace {

constexpr std::uint8_t kEsc = 27;
constexpr std::size_t kMaxLine = 1024;  // a console line buffer does not grow without end

std::string trimmed(const std::string& s)
{
    const auto white = [](unsigned char c) { return std::isspace(c) != 0; };
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && white(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && white(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string padded(const std::string& s, std::size_t width)
{
    return s.size() >= width ? s + " " : s + std::string(width - s.size(), ' ');
}

}  // namespace

VirtualModule::VirtualModule(ModuleConfig config, std::int64_t startUs)
    : cfg_(std::move(config)), state_(State::Prompt), quickSetupLeft_(cfg_.quickSetupTimes),
      lastNowUs_(startUs)
{
    if (cfg_.silent) {
        state_ = State::Silent;
        return;
    }
    if (cfg_.chatter) {
        state_ = State::Chatter;
        setTimer(Timer::Chatter, startUs + cfg_.chatterIntervalUs);
        return;
    }
    switch (cfg_.start) {
    case ConsoleStart::LoggedOut:
        state_ = State::Login;
        break;
    case ConsoleStart::PasswordFirst:
        // Somebody typed the user name earlier and walked away.
        state_ = State::Password;
        typedUser_ = cfg_.username;
        break;
    case ConsoleStart::AtPrompt:
        state_ = State::Prompt;
        break;
    case ConsoleStart::Restarting:
        // The restart began before the simulation: "Initializing...." is showing now.
        fire(Timer::ShowInitializing, startUs);
        return;
    case ConsoleStart::CommandMode:
        if (cfg_.confirmCommandMode) {
            state_ = State::CommandConfirm;
            if (cfg_.promptAtStart)
                say(std::string(kHelpLine) + "\r\n" + kConfirm + " ", startUs);
        } else if (cfg_.promptAtStart) {
            showCommandMode(startUs, kHelpLine);
        } else {
            state_ = State::CommandMode;
            if (cfg_.commandModeRepeatUs > 0)
                setTimer(Timer::RepeatRemaining, startUs + cfg_.commandModeRepeatUs);
        }
        return;
    }
    if (cfg_.promptAtStart)
        showCurrentPrompt(startUs);
}

VirtualModule::~VirtualModule() = default;

// --- ILinePeer -------------------------------------------------------------------------------

void VirtualModule::advance(std::int64_t nowUs)
{
    std::lock_guard lock(mutex_);
    lastNowUs_ = std::max(lastNowUs_, nowUs);
    if (session_) {
        session_->advance(nowUs);
        if (session_->finished())
            endDownload(nowUs);
    }
    runDueTimers(nowUs);
}

void VirtualModule::receive(const std::uint8_t* data, std::size_t n, std::int64_t nowUs)
{
    std::lock_guard lock(mutex_);
    lastNowUs_ = std::max(lastNowUs_, nowUs);
    runDueTimers(nowUs);
    received_.append(reinterpret_cast<const char*>(data), n);
    for (std::size_t i = 0; i < n; ++i) {
        if (state_ == State::Receiving) {
            if (refusing_) {
                refuseDownload(nowUs);
                return;
            }
            if (session_ && cfg_.restartInDownload == stats_.downloads + stats_.fastDownloads &&
                downloadBytes_ + static_cast<std::int64_t>(n - i) >= cfg_.restartAfterBytes) {
                // The receiver takes the bytes before the restart point, then the module is gone.
                const auto before = static_cast<std::size_t>(std::max<std::int64_t>(cfg_.restartAfterBytes - downloadBytes_, 0));
                session_->receive(data + i, before, nowUs);
                ++stats_.restartsInDownload;
                session_.reset();
                beginRestart(nowUs);
                return;
            }
            downloadBytes_ += static_cast<std::int64_t>(n - i);
            if (session_) {
                session_->receive(data + i, n - i, nowUs);
                if (session_->finished())
                    endDownload(nowUs);
            }
            // Without a receiver the download's bytes simply vanish.
            return;
        }
        handleByte(data[i], nowUs);
    }
}

std::int64_t VirtualModule::nextEventUs() const
{
    std::lock_guard lock(mutex_);
    std::int64_t next = timerUs_;
    if (session_)
        next = std::min(next, session_->nextEventUs());
    return next;
}

std::uint32_t VirtualModule::baudRate() const
{
    std::lock_guard lock(mutex_);
    return (state_ == State::Receiving && fastDownload_) ? cfg_.fastBaud : cfg_.consoleBaud;
}

void VirtualModule::hostLineChanged(bool open, std::uint32_t, std::int64_t nowUs)
{
    std::lock_guard lock(mutex_);
    // What had reached the host's port when it was closed dies with the driver's buffer.
    if (!open)
        while (!out_.empty() && out_.nextAtUs() <= nowUs)
            out_.pop();
}

// --- what tests read --------------------------------------------------------------------------------

VirtualModule::State VirtualModule::state() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

ModuleStats VirtualModule::stats() const
{
    std::lock_guard lock(mutex_);
    return stats_;
}

std::string VirtualModule::received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::string> VirtualModule::lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

std::string VirtualModule::said() const
{
    std::lock_guard lock(mutex_);
    return said_;
}

// --- replies -----------------------------------------------------------------------------------

std::string VirtualModule::systemReplyFor(const ModuleConfig& cfg)
{
    if (cfg.systemReply)
        return *cfg.systemReply;
    return "\r\nTarvel Router Module, Version: " + cfg.version + ", Built: Jun 12 2003 10:41:07\r\n"
           "Uptime: 0 days 02:17:45\r\n";
}

std::string VirtualModule::memoryReplyFor(const ModuleConfig& cfg)
{
    if (cfg.memoryReply)
        return *cfg.memoryReply;
    return "\r\nTotal System Memory Resources: " + cfg.memoryFigure + " KBytes\r\n"
           "Free System Memory Resources: 1024 KBytes\r\n";
}

std::string VirtualModule::listingReplyFor(const ModuleConfig& cfg)
{
    if (cfg.listingReply)
        return *cfg.listingReply;
    std::string s = "\r\nMERIDOX Flash File System\r\nDevice: flash0\r\n";
    s += padded("Name", 24) + "Size (bytes)\r\n";
    s += std::string(23, '-') + " " + std::string(12, '-') + "\r\n";
    for (const auto& f : cfg.files)
        s += padded(f.name, 24) + std::to_string(f.size) + "\r\n";
    s += "\r\nThreshold = " + cfg.threshold + " K\r\n";
    return s;
}

// --- timers ------------------------------------------------------------------------------------

void VirtualModule::setTimer(Timer t, std::int64_t atUs)
{
    timer_ = t;
    timerUs_ = t == Timer::None ? TimedByteQueue::kNever : atUs;
}

void VirtualModule::runDueTimers(std::int64_t nowUs)
{
    while (timer_ != Timer::None && timerUs_ <= nowUs) {
        const Timer t = timer_;
        const std::int64_t at = timerUs_;
        setTimer(Timer::None, 0);
        // Events fire at their own time, not at the (possibly later) time of the call, so that
        // their output is stamped exactly even when the driver comes late.
        fire(t, at);
    }
}

void VirtualModule::fire(Timer t, std::int64_t atUs)
{
    switch (t) {
    case Timer::None:
        break;
    case Timer::LoginRefused:
        state_ = State::Login;
        say("\r\nLogin incorrect\r\n", atUs, false);
        showCurrentPrompt(atUs);
        processHeldInput(atUs);
        break;
    case Timer::ShowInitializing:
        state_ = State::Initializing;
        escCount_ = 0;
        say("\r\n" + std::string(kInitializing), atUs);
        setTimer(Timer::EscapeWindowOver, atUs + cfg_.escapeWindowUs);
        break;
    case Timer::EscapeWindowOver:
        state_ = State::BootFinishing;
        say("\r\n\r\nLoading system image...\r\n", atUs, false);
        setTimer(Timer::BootDone, atUs + cfg_.bootFinishUs);
        break;
    case Timer::BootDone:
        ++stats_.bootsCompleted;
        say("System started.\r\n", atUs, false);
        enterConsole(cfg_.loginAfterBoot ? State::Login : State::Prompt, atUs);
        break;
    case Timer::CommandModeBack:
        if (state_ == State::Preparing) {
            ++stats_.flashPrepared;
            say("\r\nFlash prepared.\r\n", atUs, false);
        } else if (lastRefused_) {
            say("\r\nDownload refused.\r\n", atUs, false);
        } else {
            say("\r\nFlash written.\r\n", atUs, false);
        }
        showCommandMode(atUs, kRemaining);
        break;
    case Timer::RepeatRemaining:
        showCommandMode(atUs, kRemaining);
        break;
    case Timer::DownloadOver:
        endDownload(atUs);
        break;
    case Timer::Chatter:
        ++chatterCount_;
        say("Link status: up, frames " + std::to_string(chatterCount_ * 17) + ", errors 0\r\n", atUs, false);
        setTimer(Timer::Chatter, atUs + cfg_.chatterIntervalUs);
        break;
    }
}

// --- input -------------------------------------------------------------------------------------

bool VirtualModule::holdsInput() const
{
    return state_ == State::LoginPause;
}

void VirtualModule::processHeldInput(std::int64_t nowUs)
{
    std::deque<std::uint8_t> pending;
    pending.swap(held_);
    for (std::uint8_t b : pending)
        handleByte(b, nowUs);  // a new refusal holds the rest again, in order
}

void VirtualModule::handleByte(std::uint8_t b, std::int64_t nowUs)
{
    switch (state_) {
    case State::Silent:
    case State::Chatter:
    case State::Booting:
    case State::BootFinishing:
    case State::Preparing:
    case State::WritingFlash:
    case State::Receiving:
        // Busy firmware does not read its console; whatever is typed now is lost.
        return;
    case State::LoginPause:
        held_.push_back(b);
        return;
    case State::Initializing:
        if (b == kEsc && !cfg_.ignoreEscape && ++escCount_ == 3)
            enterCommandMode(nowUs);
        return;
    default:
        break;
    }

    if (b == '\n' || b == kEsc)
        return;
    if (b == '\r') {
        if (cfg_.echo)
            say("\r\n", nowUs, false);
        const std::string line = lineBuffer_;
        lineBuffer_.clear();
        handleLine(line, nowUs);
        return;
    }
    if (b == 8 || b == 127) {
        if (!lineBuffer_.empty())
            lineBuffer_.pop_back();
        return;
    }
    if (lineBuffer_.size() < kMaxLine)
        lineBuffer_ += static_cast<char>(b);
    if (cfg_.echo && state_ != State::Password && b >= 32 && b < 127)
        say(std::string(1, static_cast<char>(b)), nowUs, false);
}

void VirtualModule::handleLine(const std::string& raw, std::int64_t nowUs)
{
    const std::string line = trimmed(raw);
    lines_.push_back(state_ == State::Password ? std::string("*") : line);
    const std::int64_t at = replyAt(nowUs);

    switch (state_) {
    case State::Login:
        if (line.empty()) {
            showCurrentPrompt(at);
        } else {
            typedUser_ = line;
            state_ = State::Password;
            showCurrentPrompt(at);
        }
        break;
    case State::Password:
        if (typedUser_ == cfg_.username && raw == cfg_.password) {
            ++stats_.logins;
            enterConsole(State::Prompt, at);
        } else {
            ++stats_.refusedLogins;
            state_ = State::LoginPause;
            setTimer(Timer::LoginRefused, nowUs + cfg_.loginFailDelayUs);
        }
        break;
    case State::QuickSetup:
        if (lower(line) == "no") {
            --quickSetupLeft_;
            ++stats_.quickSetupDeclined;
            state_ = afterQuickSetup_;
        }
        showCurrentPrompt(at);
        break;
    case State::Prompt:
        promptLine(line, nowUs);
        break;
    case State::RebootQuestion:
        if (lower(line) == "yes") {
            say("\r\nRebooting...\r\n", at, false);
            beginRestart(at);
        } else {
            state_ = State::Prompt;
            showCurrentPrompt(at);
        }
        break;
    case State::CommandConfirm:
        if (lower(line) == "yes")
            showCommandMode(at, kHelpLine);
        else
            say("\r\n" + std::string(kConfirm) + " ", at);
        break;
    case State::CommandMode:
        commandLine(line, nowUs);
        break;
    default:
        break;
    }
}

void VirtualModule::promptLine(const std::string& cmd, std::int64_t nowUs)
{
    const std::int64_t at = replyAt(nowUs);
    const std::string c = lower(cmd);
    if (c.empty()) {
        showCurrentPrompt(at);
    } else if (c == "reboot") {
        state_ = State::RebootQuestion;
        say("\r\nAre you sure you want to reboot the system (Yes/No)? ", at);
    } else if (c == "show system") {
        say(systemReplyFor(cfg_) + cfg_.prompt, at);
    } else if (c == "show memory") {
        say(memoryReplyFor(cfg_) + cfg_.prompt, at);
    } else if (c == "list files") {
        say(listingReplyFor(cfg_) + cfg_.prompt, at);
    } else {
        say("\r\n% Unknown command: " + cmd + "\r\n" + cfg_.prompt, at);
    }
}

void VirtualModule::commandLine(const std::string& cmd, std::int64_t nowUs)
{
    const std::int64_t at = replyAt(nowUs);
    std::string c = cmd;
    for (char& ch : c)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (c.empty()) {
        showCommandMode(at, kRemaining);
    } else if (c == "AT{P}") {
        state_ = State::Preparing;
        say("\r\nPreparing flash for download...\r\n", at, false);
        setTimer(Timer::CommandModeBack, nowUs + cfg_.prepareFlashUs);
    } else if (c == "AT{E}") {
        ++stats_.configErased;
        say("\r\nErasing configuration...\r\n", at, false);
        beginRestart(nowUs + cfg_.eraseUs);
    } else if (c == "AT{Z}") {
        beginDownload(false, nowUs);
    } else if (c == "AT{.}") {
        beginDownload(true, nowUs);
    } else if (c == "AT{?}") {
        say("\r\nAT{P} ............. Prepare flash\r\nAT{E} ............. Erase configuration\r\n"
            "AT{Z} ............. Download (38400)\r\nAT{.} ............. Download (115200)\r\n",
            at, false);
        showCommandMode(at, kHelpLine);
    } else {
        say("\r\nERROR\r\n", at, false);
        showCommandMode(at, kHelpLine);
    }
}

// --- console states ----------------------------------------------------------------------------

void VirtualModule::enterConsole(State s, std::int64_t atUs)
{
    state_ = s;
    showCurrentPrompt(atUs);
}

void VirtualModule::showCurrentPrompt(std::int64_t atUs)
{
    // The first-start question stands in front of whatever the console would show next.
    if ((state_ == State::Login || state_ == State::Prompt) && quickSetupLeft_ > 0) {
        afterQuickSetup_ = state_;
        state_ = State::QuickSetup;
    }
    switch (state_) {
    case State::Login:
        say("\r\n" + std::string(kLogin) + " ", atUs);
        break;
    case State::Password:
        say("\r\n" + std::string(kPassword) + " ", atUs);
        break;
    case State::Prompt:
        say("\r\n" + cfg_.prompt, atUs);
        break;
    case State::QuickSetup:
        say("\r\n" + std::string(kQuickSetup) + " ", atUs);
        break;
    default:
        break;
    }
}

void VirtualModule::beginRestart(std::int64_t atUs)
{
    ++stats_.restarts;
    state_ = State::Booting;
    escCount_ = 0;
    lineBuffer_.clear();
    held_.clear();
    fastDownload_ = false;
    setTimer(Timer::ShowInitializing, atUs + cfg_.bootDelayUs);
}

void VirtualModule::enterCommandMode(std::int64_t nowUs)
{
    ++stats_.commandModeEntries;
    escCount_ = 0;
    const std::int64_t at = replyAt(nowUs);
    say("\r\n\r\nAT command mode\r\n", at, false);
    if (cfg_.confirmCommandMode) {
        state_ = State::CommandConfirm;
        setTimer(Timer::None, 0);
        say(std::string(kHelpLine) + "\r\n" + kConfirm + " ", at);
    } else {
        showCommandMode(at, kHelpLine);
    }
}

void VirtualModule::showCommandMode(std::int64_t atUs, const char* line)
{
    state_ = State::CommandMode;
    lineBuffer_.clear();
    say(std::string(line) + "\r\n", atUs);
    if (cfg_.commandModeRepeatUs > 0)
        setTimer(Timer::RepeatRemaining, atUs + cfg_.commandModeRepeatUs);
    else
        setTimer(Timer::None, 0);
}

void VirtualModule::beginDownload(bool fast, std::int64_t nowUs)
{
    if (fast)
        ++stats_.fastDownloads;
    else
        ++stats_.downloads;
    state_ = State::Receiving;
    fastDownload_ = fast;
    downloadBytes_ = 0;
    lineBuffer_.clear();
    setTimer(Timer::None, 0);
    refusing_ = stats_.downloads + stats_.fastDownloads <= cfg_.refuseTransfers;
    if (refusing_)
        return;  // no session: the first byte from the sender is answered with a cancel
    const std::int64_t perByte = TimedByteQueue::usPerByteAt(fast ? cfg_.fastBaud : cfg_.consoleBaud);
    if (cfg_.receiver)
        session_ = cfg_.receiver(out_, perByte, nowUs);
    if (!session_)
        setTimer(Timer::DownloadOver, nowUs + cfg_.noReceiverDownloadUs);
    else if (session_->finished())
        endDownload(nowUs);
}

void VirtualModule::refuseDownload(std::int64_t nowUs)
{
    ++stats_.downloadsRefused;
    // Eight CAN bytes end a ZModem session wherever it stands; the backspaces tidy a terminal.
    say(std::string(8, '\x18') + std::string(8, '\b'), replyAt(nowUs), false);
    refusing_ = false;
    endDownload(nowUs);
    lastRefused_ = true;
}

void VirtualModule::endDownload(std::int64_t nowUs)
{
    ++stats_.downloadsFinished;
    lastRefused_ = false;
    session_.reset();
    fastDownload_ = false;
    state_ = State::WritingFlash;
    lineBuffer_.clear();
    setTimer(Timer::CommandModeBack, nowUs + cfg_.flashWriteUs);
}

// --- output ------------------------------------------------------------------------------------

std::int64_t VirtualModule::usPerByte() const
{
    if (!cfg_.paceOutput)
        return 0;
    const std::uint32_t baud = (state_ == State::Receiving && fastDownload_) ? cfg_.fastBaud : cfg_.consoleBaud;
    return TimedByteQueue::usPerByteAt(baud);
}

void VirtualModule::say(const std::string& text, std::int64_t atUs, bool chunked)
{
    if (cfg_.silent || text.empty() || atUs >= cfg_.hangAtUs)
        return;
    said_ += text;
    const int answer = answers_++;
    if (cfg_.replyFault != ModuleConfig::ReplyFault::None && answer >= cfg_.replyFaultFrom &&
        answer - cfg_.replyFaultFrom < cfg_.replyFaultCount) {
        std::string damaged = text;
        switch (cfg_.replyFault) {
        case ModuleConfig::ReplyFault::Cut:
            damaged.resize((damaged.size() + 1) / 2);
            break;
        case ModuleConfig::ReplyFault::Garble:
            for (std::size_t i = static_cast<std::size_t>(answer) % 3; i < damaged.size(); i += 3)
                damaged[i] = static_cast<char>(damaged[i] ^ 0x21);
            break;
        case ModuleConfig::ReplyFault::Repeat:
            damaged += text;
            break;
        case ModuleConfig::ReplyFault::None:
            break;
        }
        out_.push(reinterpret_cast<const std::uint8_t*>(damaged.data()), damaged.size(), atUs, usPerByte());
        return;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::int64_t perByte = usPerByte();
    if (chunked && cfg_.chunkAt > 0) {
        const std::size_t nl = text.find_last_of("\r\n");
        const std::size_t lineStart = nl == std::string::npos ? 0 : nl + 1;
        const std::size_t split = lineStart + cfg_.chunkAt;
        const bool selected = cfg_.chunkOnly.empty() || text.compare(lineStart, cfg_.chunkOnly.size(), cfg_.chunkOnly) == 0;
        if (selected && split < text.size()) {
            out_.push(bytes, split, atUs, perByte);
            out_.push(bytes + split, text.size() - split, out_.lastAtUs() + cfg_.chunkGapUs, perByte);
            return;
        }
    }
    out_.push(bytes, text.size(), atUs, perByte);
}

}  // namespace sim
