#pragma once
// CWizPage10: the upgrade-completed page (template 154). Buttons Back and Finish.
// Every repaint writes the result line (string 61222 and " <newVersion> of the firmware.") into
// 1058. Back returns to the erase-choice page (152), not to the failed page between them.

#include "app/ui/CUpgradePage.h"

class CWizPage10 : public CUpgradePage {
public:
    static constexpr int kResult = 1058;

    CWizPage10();
    void OnPaint() override;
    int OnWizardBack() override;
};
