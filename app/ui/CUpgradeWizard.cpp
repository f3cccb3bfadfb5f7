#include "app/ui/CUpgradeWizard.h"

CUpgradeWizard::CUpgradeWizard()
{
    CPropertyPage* pages[] = {&page1, &page2, &page3, &page4, &page5, &page6, &page7, &page8, &page9, &page10};
    for (CPropertyPage* p : pages)
        AddPage(p);
}

long CUpgradeWizard::OnKickIdle(long, long)
{
    if (!settings.nonInteractive || pressing_)
        return 1;
    // The sheet sends no idle notification from loops nested in a press; the guard makes sure
    // that a second round can never start inside the first all the same.
    pressing_ = true;
    for (int i = 0; i < kAutomaticPresses; ++i)
        PressButton(PSBTN_NEXT);
    settings.nonInteractive = false;
    pressing_ = false;
    return 1;
}
