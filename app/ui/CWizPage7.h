#pragma once
// CWizPage7: the boot-file and code-file page (template 140). Buttons Back and Next.
// This class so far has the common page behaviour only (CUpgradePage); Back returns to the
// verification-passed page (139) when verifyFirst is set, else to the verify-or-not page (137).

#include "app/ui/CUpgradePage.h"

class CWizPage7 : public CUpgradePage {
    Q_OBJECT
public:
    CWizPage7();
    int OnWizardBack() override;
};
