#pragma once
// CWizPage9: the upgrade-failed page (template 153). Buttons Back and Finish.
// This class so far has the common page behaviour only (CUpgradePage).

#include "app/ui/CUpgradePage.h"

class CWizPage9 : public CUpgradePage {
    Q_OBJECT
public:
    CWizPage9();
};
