#pragma once
// CWizPage10: the upgrade-completed page (template 154). Buttons Back and Finish.
// This class so far has the common page behaviour only (CUpgradePage); Back returns to the
// erase-choice page (152), not to the failed page between them.

#include "app/ui/CUpgradePage.h"

class CWizPage10 : public CUpgradePage {
    Q_OBJECT
public:
    CWizPage10();
    int OnWizardBack() override;
};
