#include "sim/tool/ModuleSlot.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <termios.h>

// Everything that belongs to one module: a replacement starts all of it afresh.
struct ModuleSlot::Instance {
    Instance(const SimOptions& o, const std::filesystem::path& store, std::int64_t nowUs)
        : files(std::make_shared<sim::ReceivedFiles>()), writer(store), module(withReceiver(o, files), nowUs)
    {
    }
    static sim::ModuleConfig withReceiver(const SimOptions& o, const std::shared_ptr<sim::ReceivedFiles>& files)
    {
        sim::ModuleConfig cfg = o.module;
        cfg.receiver = sim::ZModemReceiver::factory(o.receiver, files);
        return cfg;
    }
    std::shared_ptr<sim::ReceivedFiles> files;
    ReceivedFileWriter writer;
    sim::VirtualModule module;
    std::size_t linesShown = 0;
    std::size_t filesShown = 0;
};

ModuleSlot::ModuleSlot(SimOptions options, std::string link, std::filesystem::path store, std::string tag,
                       platform::IClock& clock, bool waitAfterHangUp)
    : options_(std::move(options)), link_(std::move(link)), store_(std::move(store)), tag_(std::move(tag)),
      clock_(clock), waitAfterHangUp_(waitAfterHangUp)
{
}

ModuleSlot::~ModuleSlot()
{
    stop();
    if (log_)
        std::fclose(log_);
}

void ModuleSlot::logLine(const std::string& text)
{
    if (!log_)
        return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    std::fprintf(log_, "%lld.%03lld %s%s\n", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000),
                 tag_.c_str(), text.c_str());
    std::fflush(log_);
}

bool ModuleSlot::makeLink(const std::string& link, const std::string& target, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::symlink_status(link, ec);
    if (!ec && fs::exists(status)) {
        if (!fs::is_symlink(status)) {
            error = link + " exists and is not a link; not replaced";
            return false;
        }
        fs::remove(link, ec);
    }
    fs::create_symlink(target, link, ec);
    if (ec) {
        error = "cannot link " + link + ": " + ec.message();
        return false;
    }
    return true;
}

bool ModuleSlot::openPty(std::string& error)
{
    auto pty = sim::PseudoTerminal::open(&error);
    if (!pty) {
        error = "no pseudo-terminal: " + error;
        return false;
    }
    if (!link_.empty() && !makeLink(link_, pty->slavePath(), error))
        return false;
    std::lock_guard lock(mutex_);
    path_ = pty->slavePath();
    pty_ = std::move(pty);
    unplugged_ = false;
    return true;
}

bool ModuleSlot::start(std::string& error)
{
    // The log is for tests that match the module's doings with their own events by time, so
    // each line is written as soon as report() sees it.
    if (!options_.logFile.empty() && !log_ && !(log_ = std::fopen(options_.logFile.c_str(), "a"))) {
        error = options_.logFile + ": " + std::strerror(errno);
        return false;
    }
    if (!openPty(error))
        return false;
    thread_ = std::thread([this] { loop(); });
    return true;
}

std::string ModuleSlot::path() const
{
    std::lock_guard lock(mutex_);
    return unplugged_ ? std::string() : path_;
}

bool ModuleSlot::unplugged() const
{
    std::lock_guard lock(mutex_);
    return unplugged_;
}

bool ModuleSlot::ended() const
{
    std::lock_guard lock(mutex_);
    return ended_;
}

bool ModuleSlot::failed() const
{
    std::lock_guard lock(mutex_);
    return failed_;
}

int ModuleSlot::generation() const
{
    std::lock_guard lock(mutex_);
    return generation_;
}

void ModuleSlot::replace()
{
    std::lock_guard lock(mutex_);
    replace_ = true;
    if (runner_)
        runner_->requestStop();
    wake_.notify_all();
}

void ModuleSlot::replug()
{
    std::lock_guard lock(mutex_);
    replug_ = true;
    if (runner_)
        runner_->requestStop();
    wake_.notify_all();
}

void ModuleSlot::removeLinkLocked()
{
    // Only our own link: after a hang-up another program may already have taken the name over.
    std::error_code ec;
    if (!link_.empty() && !path_.empty() && std::filesystem::read_symlink(link_, ec) == path_)
        std::filesystem::remove(link_, ec);
}

void ModuleSlot::stop()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        if (runner_)
            runner_->requestStop();
        wake_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    removeLinkLocked();
}

void ModuleSlot::loop()
{
    sim::PtyRunnerOptions runnerOptions;
    runnerOptions.pace = options_.pace;
    runnerOptions.hangupAfterBytes = options_.hangupAfterBytes;
    runnerOptions.hangupAfterMs = options_.hangupAfterMs;
    for (;;) {
        std::unique_ptr<sim::PtyModuleRunner> runner;
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                break;
            if (instance_)
                reportLocked();  // the old module's last files, before its records go
            instance_ = std::make_unique<Instance>(options_, store_, clock_.nowUs());
            runner = std::make_unique<sim::PtyModuleRunner>(pty_->masterFd(), instance_->module, clock_, runnerOptions);
            runner_ = runner.get();
            replace_ = false;
            ++generation_;
        }
        const bool ok = runner->run();
        std::unique_lock lock(mutex_);
        runner_ = nullptr;
        if (!ok) {
            std::fprintf(stderr, "tarvel-sim: %spseudo-terminal: %s\n", tag_.c_str(), std::strerror(errno));
            failed_ = true;
            break;
        }
        if (runner->hungUp() || replug_) {
            // At once: the moment of the hang-up is measured.
            pty_->hangUp();
            if (runner->hungUp())
                std::fprintf(stderr, "tarvel-sim: %sline hung up after %lld bytes from the host\n", tag_.c_str(),
                             static_cast<long long>(runner->hostBytes()));
            if (!replug_ && !waitAfterHangUp_)
                break;
            unplugged_ = true;
            removeLinkLocked();
            if (replug_) {
                std::fprintf(stderr, "tarvel-sim: %sunplugged\n", tag_.c_str());
                replug_ = false;
                wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; });
            } else {
                wake_.wait(lock, [this] { return stop_ || replace_ || replug_; });
                replug_ = false;
            }
            if (stop_)
                break;
            lock.unlock();
            std::string error;
            if (!openPty(error)) {
                std::fprintf(stderr, "tarvel-sim: %s%s\n", tag_.c_str(), error.c_str());
                lock.lock();
                failed_ = true;
                break;
            }
            std::fprintf(stderr, "tarvel-sim: %sreplaced, on a new line: %s\n", tag_.c_str(), path().c_str());
            continue;
        }
        if (stop_)
            break;
        // The new module never sees what the host sent to the old one.
        ::tcflush(pty_->masterFd(), TCIFLUSH);
        std::fprintf(stderr, "tarvel-sim: %sreplaced\n", tag_.c_str());
    }
    std::lock_guard lock(mutex_);
    ended_ = true;
}

void ModuleSlot::report()
{
    std::lock_guard lock(mutex_);
    reportLocked();
}

void ModuleSlot::reportLocked()
{
    if (!instance_)
        return;
    Instance& in = *instance_;
    for (const auto& path : in.writer.writeNew(*in.files))
        std::fprintf(stderr, "tarvel-sim: %sstored %s\n", tag_.c_str(), path.string().c_str());
    // How each complete file crossed the line: its data time (ZDATA at 0 to ZEOF, on the
    // system's monotonic clock, so a benchmark can match it with its own samples) and the
    // resends the receiver had to ask for.
    const auto files = in.files->files();
    for (; in.filesShown < files.size() && (files[in.filesShown].complete || in.filesShown + 1 < files.size());
         ++in.filesShown) {
        const sim::ReceivedFile& f = files[in.filesShown];
        if (!f.complete || f.dataStartUs < 0)
            continue;
        logLine("received " + ReceivedFileWriter::storedName(f.name, in.filesShown));
        std::fprintf(stderr,
                     "tarvel-sim: %sreceived %s: %zu bytes, data from %lld to %lld us, %d resyncs, "
                     "%d bad subpackets\n",
                     tag_.c_str(), ReceivedFileWriter::storedName(f.name, in.filesShown).c_str(), f.data.size(),
                     static_cast<long long>(f.dataStartUs), static_cast<long long>(f.dataEndUs), f.resyncs,
                     f.crcErrors);
    }
    if (options_.verbose || log_) {
        const auto lines = in.module.lines();
        for (; in.linesShown < lines.size(); ++in.linesShown) {
            const std::string& line = lines[in.linesShown].empty() ? "(empty line)" : lines[in.linesShown];
            if (options_.verbose)
                std::fprintf(stderr, "tarvel-sim: %sconsole: %s\n", tag_.c_str(), line.c_str());
            logLine("console " + line);
        }
    }
}
