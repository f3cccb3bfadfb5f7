#pragma once
// CWizPage4: the verify-or-not page (template 137). Buttons Back and Next.
// Radios from verifyFirst (activation and every repaint): 1027 "Yes (Recommended)" when set,
// else 1028 "No, upgrade immediately"; exactly one is selected.
// Next with 1027: verifyFirst := 1, the verification runs (runVerification), verifyResult := its
// code, then 139 (passed, code 0) or 138 (failed). Next with 1028: verifyFirst := 0, go to 140,
// verifyResult unchanged. Back: verifyFirst := whether 1027 is checked, go to 136.
// The verification runs on a thread of its own while this page waits in a LocalLoop, so
// the window keeps painting; meanwhile the wait cursor is up, a busy bar moves on the page, the
// radios are disabled and the wizard refuses Back, Next, Cancel, Escape and the close box.
// Nothing on the GUI thread reads the settings fields the verification writes (programSize,
// deviceVersion) until the thread has been joined. Message boxes the verification raises are
// shown on the GUI thread (the notifier) while the page waits.

#include "app/ui/CUpgradePage.h"

#include <functional>

class CWizPage4 : public CUpgradePage {
public:
    static constexpr int kYes = 1027;
    static constexpr int kNo = 1028;
    // The busy indication added below the template's controls while a verification runs.
    static constexpr int kBusyText = 1101;
    static constexpr int kBusyBar = 1102;
    static constexpr const char* kBusyMessage = "Interrogating the Tarvel, please wait...";

    using Verification = std::function<int(UpgradeSettings&)>;

    CWizPage4();
    bool OnInitDialog() override;
    int OnWizardNext() override;
    int OnWizardBack() override;

    // The verification to run; runVerification unless replaced (tests of the page flow).
    void setVerification(Verification v) { verification_ = std::move(v); }
    bool verificationRunning() const { return running_; }

protected:
    void loadControls() override;

private:
    int runVerificationBusy();
    void showBusy(bool busy);

    Verification verification_;
    bool running_ = false;
};
