#pragma once
// CWizPage8: the erase-choice page, which runs the upgrade (template 152). Buttons Back and Next.
// Radios from eraseConfig (activation and every repaint): 1050 "Yes, erase ..." when set, else
// 1051 "No (Recommended)"; the two form one group. Next and Back first store eraseConfig from
// 1050. Next then clears upgradeDone and runs the progress window (CDownloadDlg, no parent, so
// owned by the wizard) modally; once it has closed, upgradeResult chooses the failed page (153,
// any code but 0) or the completed page (154). Back goes to the file page (140).

#include "app/ui/CUpgradePage.h"

class CWizPage8 : public CUpgradePage {
public:
    static constexpr int kErase = 1050;
    static constexpr int kKeep = 1051;

    CWizPage8();
    int OnWizardNext() override;
    int OnWizardBack() override;

protected:
    void loadControls() override;

private:
    void storeChoice();
};
