#pragma once
// CUpgradeWizard: the upgrade wizard. Owns the one UpgradeSettings record (defaults on
// construction) and the ten pages, added in this order: 132 welcome, 135 port, 136 version and
// login, 137 verify or not, 138 verification failed, 139 verification passed, 140 files,
// 152 erase choice (runs the upgrade), 153 upgrade failed, 154 upgrade completed.
// Pages reach the settings through their parent window, this sheet (CUpgradePage::settings).
// Non-interactive mode: on the first idle notification with settings.nonInteractive set, the
// wizard presses Next six times (each press handled completely, message boxes and the
// progress window included), then clears nonInteractive so that it never happens again.

#include "app/UpgradeSettings.h"
#include "app/ui/CWizPage1.h"
#include "app/ui/CWizPage10.h"
#include "app/ui/CWizPage2.h"
#include "app/ui/CWizPage3.h"
#include "app/ui/CWizPage7.h"
#include "app/ui/CWizPage8.h"
#include "app/ui/CWizPage9.h"
#include "platform/ui/CPropertySheet.h"
#include "verify/ui/CWizPage4.h"
#include "verify/ui/CWizPage5.h"
#include "verify/ui/CWizPage6.h"

class CUpgradeWizard : public CPropertySheet {
public:
    static constexpr int kAutomaticPresses = 6;

    CUpgradeWizard();

    long OnKickIdle(long wParam, long lParam) override;

    UpgradeSettings settings;
    CWizPage1 page1;
    CWizPage2 page2;
    CWizPage3 page3;
    CWizPage4 page4;
    CWizPage5 page5;
    CWizPage6 page6;
    CWizPage7 page7;
    CWizPage8 page8;
    CWizPage9 page9;
    CWizPage10 page10;

private:
    bool pressing_ = false;
};
