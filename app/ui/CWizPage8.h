#pragma once
// CWizPage8: the erase-choice page, which runs the upgrade (template 152). Buttons Back and Next.
// This class so far has the common page behaviour only (CUpgradePage).

#include "app/ui/CUpgradePage.h"

class CWizPage8 : public CUpgradePage {
    Q_OBJECT
public:
    CWizPage8();
};
