#pragma once
// Support for window tests that run real upgrades against the virtual module: the worker on a
// real thread (joined before the module goes away), a real-time bound for every such test, the
// application object whose main window owns the progress window, firmware files on disk, and
// a watcher that notes what the progress window showed and presses "Finished" once it may.

#include "app/ui/CUpgradeWizard.h"
#include "platform/IThreadStarter.h"
#include "platform/qt/CWinApp.h"
#include "upgrade/ui/CDownloadDlg.h"

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace uitest {

// IThreadStarter whose threads are joined by join() and at destruction, so that a test can
// wait for the worker's very end (its console closes the port after the verdict). A gate, when
// set, runs on the new thread before the procedure (to hold a run back); a replacement, when
// set, runs instead of the procedure.
class JoiningThreadStarter final : public platform::IThreadStarter {
public:
    ~JoiningThreadStarter() override { join(); }
    bool start(platform::ThreadProcedure procedure, void* parameter) override
    {
        ++started;
        if (refuse)
            return false;
        auto gate = gate_;
        auto replacement = replacement_;
        threads_.emplace_back([=] {
            if (gate)
                gate();
            if (replacement)
                replacement(parameter);
            else
                procedure(parameter);
        });
        return true;
    }
    void join()
    {
        for (auto& t : threads_)
            if (t.joinable())
                t.join();
        threads_.clear();
    }
    void setGate(std::function<void()> g) { gate_ = std::move(g); }
    void setReplacement(std::function<void(void*)> r) { replacement_ = std::move(r); }

    int started = 0;
    bool refuse = false;

private:
    std::function<void()> gate_;
    std::function<void(void*)> replacement_;
    std::vector<std::thread> threads_;
};

// A test that has not ended within the bound aborts the process with a message instead of
// hanging (the window under test may refuse every way out).
class Watchdog {
public:
    Watchdog(int seconds, const char* what)
        : thread_([ended = done_.get_future(), seconds, what] {
              if (ended.wait_for(std::chrono::seconds(seconds)) == std::future_status::timeout) {
                  std::fprintf(stderr, "watchdog: %s did not end within %d s\n", what, seconds);
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        done_.set_value();
        thread_.join();
    }

private:
    std::promise<void> done_;  // before thread_, which takes its future
    std::thread thread_;
};

// One application object per test process, so that windows without a parent find the main
// window.
inline CWinApp& app()
{
    static CWinApp theApp;
    return theApp;
}

inline std::vector<std::uint8_t> randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(gen());
    return v;
}

// A fresh folder for one test's firmware files, removed afterwards.
class FirmwareFolder {
public:
    explicit FirmwareFolder(const std::string& tag)
        : dir_(std::filesystem::temp_directory_path() /
               ("tarvel-ui-" + tag + "-" + std::to_string(std::random_device{}())))
    {
        std::filesystem::create_directories(dir_);
    }
    ~FirmwareFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& data) const
    {
        const auto p = dir_ / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        return p.string();
    }
    std::filesystem::path path() const { return dir_; }

private:
    std::filesystem::path dir_;
};

// What the progress window showed when its verdict was up.
struct FinalView {
    bool seen = false;
    std::string status, bootCount, codeCount, bootPath, codePath, button;
    int bootMax = -1, bootValue = -1, codeMax = -1, codeValue = -1;
    bool buttonEnabled = false;
    QFont statusFont;
    bool doneAtVerdict = false;
    int resultAtVerdict = -100;
};

inline FinalView viewOf(CDownloadDlg& d)
{
    FinalView v;
    v.seen = true;
    v.status = d.GetDlgItemText(CDownloadDlg::kStatus);
    v.bootCount = d.GetDlgItemText(CDownloadDlg::kBootCount);
    v.codeCount = d.GetDlgItemText(CDownloadDlg::kCodeCount);
    v.bootPath = d.GetDlgItemText(CDownloadDlg::kBootPath);
    v.codePath = d.GetDlgItemText(CDownloadDlg::kCodePath);
    v.button = d.GetDlgItemText(CDownloadDlg::kButton);
    // Every control is there (the dialog framework's test checks each template's ids).
    const auto* boot = d.item<QProgressBar>(CDownloadDlg::kBootBar);
    const auto* code = d.item<QProgressBar>(CDownloadDlg::kCodeBar);
    v.bootMax = boot->maximum();
    v.bootValue = boot->value();
    v.codeMax = code->maximum();
    v.codeValue = code->value();
    v.buttonEnabled = d.GetDlgItem(CDownloadDlg::kButton)->isEnabled();
    v.statusFont = d.GetDlgItem(CDownloadDlg::kStatus)->font();
    if (UpgradeSettings* s = d.settings()) {
        v.doneAtVerdict = s->upgradeDone.load();
        v.resultAtVerdict = s->upgradeResult.load();
    }
    return v;
}

// Watches for progress windows (on its own timer, so it keeps working inside nested modal
// loops); once one has shown its verdict, records the view and ends the window: by clicking
// its button unless told another way.
class FinishClicker {
public:
    explicit FinishClicker(std::function<void(CDownloadDlg&)> finish = {}) : finish_(std::move(finish))
    {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    void poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* d = qobject_cast<CDownloadDlg*>(w);
            if (!d || !d->isVisible() || !d->finishedShown())
                continue;
            views.push_back(viewOf(*d));
            if (finish_)
                finish_(*d);
            else
                d->item<QPushButton>(CDownloadDlg::kButton)->click();
            return;
        }
    }
    std::vector<FinalView> views;

private:
    std::function<void(CDownloadDlg&)> finish_;
    QTimer timer_;
};

}  // namespace uitest
