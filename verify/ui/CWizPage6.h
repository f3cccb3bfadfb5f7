#pragma once
// CWizPage6: the verification-passed page (template 139). Buttons Back and Next.
// Every repaint writes the success text (verificationPassedText) into 1035. Next goes on to the
// file page (140); Back returns to the verify-or-not page (137), not to the failed page.

#include "app/ui/CUpgradePage.h"

class CWizPage6 : public CUpgradePage {
public:
    static constexpr int kText = 1035;

    CWizPage6();
    void OnPaint() override;
    int OnWizardBack() override;
};
