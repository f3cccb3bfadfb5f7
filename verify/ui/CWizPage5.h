#pragma once
// CWizPage5: the verification-failed page (template 138). Buttons Back and Finish.
// Every repaint writes the verdict line (verificationFailedLine) into 1030. Details (1032)
// explains verifyResult (verificationReason): asterisk beep, then a box with the exclamation
// icon. Back goes to the previous page, 137.

#include "app/ui/CUpgradePage.h"

class CWizPage5 : public CUpgradePage {
public:
    static constexpr int kVerdict = 1030;
    static constexpr int kDetails = 1032;

    CWizPage5();
    void OnPaint() override;
    void OnDetails();
};
