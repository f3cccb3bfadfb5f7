#pragma once
// CWizPage1: the welcome page (template 132). Button Next; Next goes to the port page.
// It changes no setting.

#include "app/ui/CUpgradePage.h"

class CWizPage1 : public CUpgradePage {
public:
    CWizPage1();
};
