#include "cli/Fleet.h"

#include "platform/ChildProcess.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <map>
#include <set>
#include <thread>

namespace {

constexpr int kExitJsonNotWritten = 73;  // a record (--json, --log-dir) cannot be made

// The events of one child: its output, line by line, read on a thread of their own.
class ChildRun final : public IRunHandle {
public:
    ChildRun(std::unique_ptr<platform::ChildProcess> child, IPortEvents& sink)
        : child_(std::move(child)), sink_(sink), thread_([this] { pump(); })
    {
    }
    ~ChildRun() override { thread_.join(); }
    bool ended() const override { return ended_.load(); }
    void kill() override
    {
        killed_ = true;
        child_->kill();
    }

private:
    void pump()
    {
        std::string buffer;
        bool endSeen = false;
        while (child_->read(buffer)) {
            for (std::size_t at; (at = buffer.find('\n')) != std::string::npos;) {
                // A text-mode standard output (Windows) ends its lines with CR LF.
                const std::size_t end = at > 0 && buffer[at - 1] == '\r' ? at - 1 : at;
                const auto e = PortEvent::decode(buffer.substr(0, end));
                buffer.erase(0, at + 1);
                if (!e || endSeen)
                    continue;
                endSeen = e->kind == PortEvent::Kind::Ended;
                sink_.event(*e);
            }
        }
        const int status = child_->wait();
        if (!endSeen) {
            PortEvent e;
            e.kind = PortEvent::Kind::Ended;
            e.code = -1;
            e.text = killed_ ? "ended by the supervisor"
                             : "its process ended without a verdict (exit status " + std::to_string(status) + ")";
            sink_.event(e);
        }
        ended_ = true;
    }

    std::unique_ptr<platform::ChildProcess> child_;
    IPortEvents& sink_;
    std::atomic<bool> ended_{false}, killed_{false};
    std::thread thread_;
};

class ChildLauncher final : public IRunLauncher {
public:
    explicit ChildLauncher(std::string program) : program_(std::move(program)) {}
    std::unique_ptr<IRunHandle> launch(const UpgradeSettings& choices, const PortRunOptions& options,
                                       IPortEvents& sink) override
    {
        std::string error;
        auto child = platform::ChildProcess::start(program_, portChildArguments(choices, options), error);
        if (!child) {
            PortEvent e;
            e.kind = PortEvent::Kind::Ended;
            e.code = -1;
            e.text = "its process could not be started: " + error;
            sink.event(e);
            return nullptr;
        }
        return std::make_unique<ChildRun>(std::move(child), sink);
    }

private:
    std::string program_;
};

class ThreadRun final : public IRunHandle {
public:
    ThreadRun(platform::Services services, std::shared_ptr<UpgradeSettings> choices, PortRunOptions options,
              IPortEvents& sink)
        : thread_([this, services, choices, options, &sink] {
              const platform::ScopedThreadPlatform scope(services);
              runPort(*choices, options, sink);
              ended_ = true;
          })
    {
    }
    ~ThreadRun() override { thread_.join(); }
    bool ended() const override { return ended_.load(); }
    void kill() override {}

private:
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

class ThreadLauncher final : public IRunLauncher {
public:
    explicit ThreadLauncher(std::function<platform::Services(const std::string&)> servicesFor)
        : servicesFor_(std::move(servicesFor)) {}
    std::unique_ptr<IRunHandle> launch(const UpgradeSettings& choices, const PortRunOptions& options,
                                       IPortEvents& sink) override
    {
        auto copy = std::make_shared<UpgradeSettings>();
        copyChoices(choices, *copy);
        return std::make_unique<ThreadRun>(servicesFor_(choices.comPort), std::move(copy), options, sink);
    }

private:
    std::function<platform::Services(const std::string&)> servicesFor_;
};

class RowSink final : public IPortEvents {
public:
    RowSink(FleetView& view, int row) : view_(view), row_(row) {}
    void event(const PortEvent& e) override { view_.event(row_, e); }

private:
    FleetView& view_;
    int row_;
};

struct Target {
    std::string name, device, byId;
};

struct Active {
    std::string key;
    std::string device;
    int row = 0;
    std::unique_ptr<RowSink> sink;
    std::unique_ptr<IRunHandle> handle;  // after the sink: ends (and joins) first
    bool stopping = false;
};

std::string fileNameFor(const std::string& label)
{
    // "/dev/ttyUSB0 #2" -> "dev_ttyUSB0_2.log": one '_' for each run of other characters.
    std::string out;
    bool replaced = false;
    for (char c : label) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '-' || c == '_';
        if (keep)
            out += c;
        else if (!replaced)
            out += '_';
        replaced = !keep;
    }
    while (!out.empty() && (out.front() == '_' || out.front() == '.'))
        out.erase(0, 1);
    return (out.empty() ? std::string("port") : out) + ".log";
}

}  // namespace

std::unique_ptr<IRunLauncher> childProcessLauncher(const std::string& program)
{
    return std::make_unique<ChildLauncher>(program);
}

std::unique_ptr<IRunLauncher> threadLauncher(std::function<platform::Services(const std::string& port)> servicesFor)
{
    return std::make_unique<ThreadLauncher>(std::move(servicesFor));
}

std::vector<std::string> portChildArguments(const UpgradeSettings& choices, const PortRunOptions& options)
{
    std::vector<std::string> a = {"--port-child"};
    if (!options.transcriptPath.empty())
        a.insert(a.end(), {"--transcript", options.transcriptPath});
    a.insert(a.end(), {"-y", "-t", choices.newVersion});
    if (choices.eraseConfig)
        a.push_back("-e");
    if (choices.fastDownload)
        a.push_back("-f");
    if (!choices.verifyFirst)
        a.push_back("-n");
    if (options.verifyOnly)
        a.push_back("-V");
    if (choices.programSize != 0)
        a.insert(a.end(), {"-s", std::to_string(choices.programSize)});
    for (const auto& [letter, value] : {std::pair{"-u", &choices.username}, {"-p", &choices.password},
                                        {"-b", &choices.bootFile}, {"-c", &choices.codeFile}})
        if (!value->empty())
            a.insert(a.end(), {letter, *value});
    a.insert(a.end(), {"-o", choices.comPort});
    return a;
}

int runFleet(const UpgradeSettings& choices, const FleetOptions& options, FleetContext& context)
{
    // Where the records go must work before any module is touched: a run is not to be repeated
    // for want of its record.
    if (!options.logDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.logDir, ec);
        if (!std::filesystem::is_directory(options.logDir, ec)) {
            context.output.line("cannot make the folder " + options.logDir);
            return kExitJsonNotWritten;
        }
    }
    if (!options.jsonFile.empty()) {
        std::FILE* f = std::fopen(options.jsonFile.c_str(), "wb");
        if (!f) {
            context.output.line("cannot write " + options.jsonFile);
            return kExitJsonNotWritten;
        }
        std::fclose(f);
    }
    FleetView view(context.output, context.clock);
    const auto identify = [&](const std::string& name) {
        Target t{name, context.deviceOf(name), {}};
        // A built-in slot without a UART has its node but nothing behind it: not there.
        for (const std::string& slot : context.discovery.emptySlots())
            if (t.device == "/dev/" + slot)
                t.device.clear();
        platform::SerialPortInfo info;
        if (!t.device.empty() && context.discovery.find(t.device, info))
            t.device = info.device, t.byId = info.byId;
        return t;
    };
    // The ports in force now: those named, then the adapters found, each device once.
    const auto targets = [&](bool tellDuplicates) {
        std::vector<Target> list;
        for (const std::string& name : options.ports)
            list.push_back(identify(name));
        if (options.all)
            for (const platform::SerialPortInfo& p : context.discovery.ports())
                if (!p.builtIn)
                    list.push_back({p.openPath(), p.device, p.byId});
        std::vector<Target> once;
        for (const Target& t : list) {
            const Target* same = nullptr;
            for (const Target& o : once)
                if (o.name == t.name || (!t.device.empty() && o.device == t.device))
                    same = &o;
            if (!same)
                once.push_back(t);
            else if (tellDuplicates && same->name != t.name)
                view.note(t.name + " is " + same->name + " (" + t.device + "): upgraded once.");
        }
        return once;
    };

    std::vector<Active> active;
    std::map<std::string, bool> settled;  // watch, by device: the module there has had its run
    std::set<std::string> seenBefore;      // watch: name and device of each port at the last look
    const auto launch = [&](const Target& t) {
        Active a;
        a.key = t.device.empty() ? t.name : t.device;
        a.device = t.device;
        a.row = view.addRun(t.name, t.device, t.byId);
        a.sink = std::make_unique<RowSink>(view, a.row);
        UpgradeSettings port;
        copyChoices(choices, port);
        port.comPort = t.name;
        PortRunOptions runOptions{options.verifyOnly, {}};
        if (!options.logDir.empty())
            runOptions.transcriptPath = options.logDir + "/" + fileNameFor(view.rows()[static_cast<std::size_t>(a.row)].label);
        a.handle = context.launcher.launch(port, runOptions, *a.sink);
        active.push_back(std::move(a));
    };

    if (!options.watch) {
        const auto list = targets(true);
        if (list.empty())
            view.note("No serial adapter found.");
        for (const Target& t : list)
            launch(t);
    } else {
        view.note("Watching for modules; Ctrl-C stops.");
    }

    int interruptsSeen = 0;
    for (;;) {
        const int interrupts = context.interrupts();
        if (interrupts != interruptsSeen) {
            interruptsSeen = interrupts;
            if (interrupts == 1 && !active.empty())
                view.note("Interrupted: no new run starts; waiting for the " + std::to_string(active.size()) +
                          " running (Ctrl-C again ends them).");
            if (interrupts >= 2)
                for (Active& a : active)
                    if (!a.stopping && a.handle) {
                        a.stopping = true;
                        view.stopping(a.row, "ended by a second interrupt");
                        a.handle->kill();
                    }
        }
        const std::int64_t now = context.clock.nowUs();
        for (Active& a : active)
            if (a.handle && !a.stopping && now - view.lastEventUs(a.row) > options.silenceLimitMs * 1000) {
                a.stopping = true;
                view.stopping(a.row, "no sign of life for " + (options.silenceLimitMs % 1000 == 0
                                                                      ? std::to_string(options.silenceLimitMs / 1000) + " s"
                                                                      : std::to_string(options.silenceLimitMs) + " ms"));
                a.handle->kill();
            }
        for (auto it = active.begin(); it != active.end();) {
            if (!it->handle || it->handle->ended()) {
                it->handle.reset();
                settled[it->key] = true;
                it = active.erase(it);
            } else {
                ++it;
            }
        }
        if (options.watch && interrupts == 0) {
            std::set<std::string> seenNow;
            std::vector<Target> ready;
            for (const Target& t : targets(false)) {
                if (t.device.empty())
                    continue;
                // Seen alike at two looks in a row: an adapter just plugged in gets its by-id
                // name a moment after its node, and is to be run once, by its stable name.
                const std::string look = t.name + "\n" + t.device;
                seenNow.insert(look);
                if (seenBefore.count(look))
                    ready.push_back(t);
            }
            // A device gone (an adapter that --all no longer lists included): what comes back is
            // a new module.
            for (auto& [device, done] : settled) {
                bool there = false;
                for (const std::string& look : seenNow)
                    there = there || look.substr(look.find('\n') + 1) == device;
                done = done && there;
            }
            seenBefore = std::move(seenNow);
            for (const Target& t : ready) {
                bool busy = false;
                for (const Active& a : active)
                    busy = busy || a.key == t.device;
                if (!busy && !settled[t.device])
                    launch(t);
            }
        }
        view.tick();
        if (active.empty() && (!options.watch || interrupts > 0))
            break;
        context.clock.sleepMs(options.pollMs);
    }
    view.finish(context.out);
    if (!options.jsonFile.empty()) {
        std::FILE* f = std::fopen(options.jsonFile.c_str(), "wb");
        const std::string text = view.json();
        const bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (f && std::fclose(f) != 0)
            return kExitJsonNotWritten;
        if (!ok) {
            context.output.line("could not write " + options.jsonFile);
            return kExitJsonNotWritten;
        }
    }
    return view.exitStatus();
}
