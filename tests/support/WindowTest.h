#pragma once
// Window tests on Qt's offscreen platform: the QApplication (created on first use, destroyed
// after the last test), event pumping, the wizard fixture with scripted message boxes, and the
// run fixture for upgrades from the windows: the virtual module on virtual time, worker threads
// joined before it goes away, firmware files in a test folder, and a watcher that notes what the
// progress window showed at its verdict and then ends it.

#include "app/ui/CUpgradeWizard.h"
#include "platform/qt/QtAccess.h"
#include "platform/qt/QtNotifier.h"
#include "platform/ui/CWinApp.h"
#include "sim/ZModemReceiver.h"
#include "support/ModuleHarness.h"
#include "support/TempDir.h"
#include "upgrade/ui/CDownloadDlg.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using ui::qt::item;
using ui::qt::itemWidget;
using ui::qt::widgetOf;

struct GuiAppEnvironment : ::testing::Environment {
    QApplication* app;
    explicit GuiAppEnvironment(QApplication* a) : app(a) {}
    void TearDown() override { delete app; }
};

inline QApplication& guiApp()
{
    static QApplication* app = [] {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "upgrade";
        static char* argv[] = {name, nullptr};
        auto* a = new QApplication(argc, argv);
        ::testing::AddGlobalTestEnvironment(new GuiAppEnvironment(a));
        return a;
    }();
    return *app;
}

// Lets queued calls (paints, idle notifications) run.
inline void pumpEvents(int rounds = 3)
{
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Runs fn from the event loop once the current (modal) loop runs.
inline void later(std::function<void()> fn, int ms = 0)
{
    QTimer::singleShot(ms, QCoreApplication::instance(), std::move(fn));
}

namespace uitest {

// Threads joined by join() and at destruction. A gate runs on the new thread before the
// procedure (to hold a run back); a replacement runs instead of it; refuse fails the start.
struct JoiningThreadStarter final : platform::IThreadStarter {
    ~JoiningThreadStarter() override { join(); }
    bool start(platform::ThreadProcedure procedure, void* parameter) override
    {
        ++started;
        if (refuse)
            return false;
        threads_.emplace_back([=, gate = gate, replacement = replacement] {
            if (gate)
                gate();
            (replacement ? replacement : std::function<void(void*)>(procedure))(parameter);
        });
        return true;
    }
    void join()
    {
        for (auto& t : threads_)
            t.join();
        threads_.clear();
    }
    std::function<void()> gate;
    std::function<void(void*)> replacement;
    int started = 0;
    bool refuse = false;
    std::vector<std::thread> threads_;
};

// The progress window at its verdict: status, "<bar value>/<bar max> <count>" for both files,
// the button, and whether the status is bold.
struct FinalView {
    std::string status, boot, code, button;
    bool buttonEnabled = false, bold = false;
};

// Watches for a progress window (on its own timer, so it works inside nested modal loops); once
// one has shown its verdict, records the view and ends it: a click on its button unless told.
struct FinishClicker {
    explicit FinishClicker(std::function<void(CDownloadDlg&)> finish = {}) : finish_(std::move(finish))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(2);
    }
    std::vector<FinalView> views;
    std::function<void(CDownloadDlg&)> finish_;
    QTimer timer_;

    void poll()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* d = dynamic_cast<CDownloadDlg*>(ui::qt::dialogOf(w));
            if (!d || !w->isVisible() || !d->finishedShown())
                continue;
            auto bar = [&](int id, int count) {
                const auto* b = item<QProgressBar>(*d, id);
                return std::to_string(b->value()) + "/" + std::to_string(b->maximum()) + " " + d->GetDlgItemText(count);
            };
            views.push_back({d->GetDlgItemText(CDownloadDlg::kStatus), bar(CDownloadDlg::kBootBar, CDownloadDlg::kBootCount),
                             bar(CDownloadDlg::kCodeBar, CDownloadDlg::kCodeCount), d->GetDlgItemText(CDownloadDlg::kButton),
                             d->isItemEnabled(CDownloadDlg::kButton), itemWidget(*d, CDownloadDlg::kStatus)->font().bold()});
            finish_ ? finish_(*d) : item<QPushButton>(*d, CDownloadDlg::kButton)->click();
            return;
        }
    }
};

}  // namespace uitest

// A shown CUpgradeWizard (the main window) with scripted message boxes (recorded, answered OK).
struct WizardFixture : ::testing::Test {
    CWinApp winApp;  // windows without a parent are owned by its main window, the wizard
    platform::QtNotifier notifier;
    platform::ScopedPlatform scope{{nullptr, nullptr, &notifier, nullptr}};
    std::unique_ptr<CUpgradeWizard> wizard;

    void SetUp() override
    {
        guiApp();
        notifier.setScript([](const platform::QtNotifier::Box&) { return platform::IDOK; });
        makeWizard();
    }
    void TearDown() override { wizard.reset(); }
    void makeWizard()
    {
        wizard.reset();  // before the new one: the main window is cleared with the old
        wizard = std::make_unique<CUpgradeWizard>();
        wizard->SetWizardMode();
        winApp.m_pMainWnd = wizard.get();
    }
    QDialog& window() const { return *widgetOf(*wizard); }
    void start() { wizard->prepare(), window().show(), pumpEvents(); }
    UpgradeSettings& settings() { return wizard->settings; }
    int active() const { return wizard->GetActivePage()->templateId(); }
    CPropertyPage& page() const { return *wizard->GetActivePage(); }
    QWidget* control(int id) const { return itemWidget(page(), id); }
    void next() { wizard->PressButton(PSBTN_NEXT), pumpEvents(); }
    void back() { wizard->PressButton(PSBTN_BACK), pumpEvents(); }
    // Presses Next ('N') or Back ('B') for each step and checks the page it leads to.
    void walk(std::initializer_list<std::pair<char, int>> steps)
    {
        for (const auto& [key, expected] : steps) {
            key == 'N' ? next() : back();
            ASSERT_EQ(active(), expected) << "after " << key;
        }
    }
    void goTo(int templateId)
    {
        if (!window().isVisible())
            start();
        wizard->SetActivePage(wizard->pageIndexOfTemplate(templateId));
        pumpEvents();
    }
    // The page drawn anew, as after being covered.
    void repaint() { CDialog::invalidateAll(), pumpEvents(); }
    std::vector<std::string> boxTexts() const
    {
        std::vector<std::string> t;
        for (const auto& b : notifier.boxes())
            t.push_back(b.text);
        return t;
    }
};

// The wizard with the virtual module on the line (its services under the scripted notifier's)
// and good firmware files: a boot file too small for any report during its transfer, so that
// only the final fill shows it, and a larger code file.
struct RunFixture : WizardFixture {
    void SetUp() override
    {
        WizardFixture::SetUp();
        cfg.receiver = sim::ZModemReceiver::factory({}, store);
        harness = std::make_unique<test::ModuleHarness>(cfg, &threads);
        gui = std::make_unique<platform::ScopedPlatform>(platform::Services{nullptr, nullptr, &notifier, nullptr});
        settings().verifyFirst = false;
        settings().bootFile = files.put("tarvelboot.dmf", test::randomText(3000, 11));
        settings().codeFile = files.put("tarvel.dmf", test::randomText(20000, 12));
    }
    void failOpen(bool fail) { harness->line.setFaults(sim::LineFaults{.failOpen = fail}); }

    test::TempDir files{"ui"};
    sim::ModuleConfig cfg;
    std::shared_ptr<sim::ReceivedFiles> store = std::make_shared<sim::ReceivedFiles>();
    std::unique_ptr<test::ModuleHarness> harness;
    std::unique_ptr<platform::ScopedPlatform> gui;
    uitest::JoiningThreadStarter threads;  // last: joined before the module goes
};
