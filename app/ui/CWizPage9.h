#pragma once
// CWizPage9: the upgrade-failed page (template 153). Buttons Back and Finish.
// Every repaint writes the result line (string 61221 and " <newVersion> of the firmware.")
// into 1054. Details (1056) explains upgradeResult (upgradeFailureDetails: 1, 2, 7 and 8 have
// texts of their own, every other code asks to check the cable): asterisk beep, then a box with
// the exclamation icon. Back returns to the erase-choice page (152).

#include "app/ui/CUpgradePage.h"

class CWizPage9 : public CUpgradePage {
public:
    static constexpr int kResult = 1054;
    static constexpr int kDetails = 1056;

    CWizPage9();
    void OnPaint() override;
    int OnWizardBack() override;
    void OnDetails();
};
