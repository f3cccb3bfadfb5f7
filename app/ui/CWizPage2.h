#pragma once
// CWizPage2: the serial-port page (template 135). Buttons Back and Next.
// Radios from comPort (activation and every repaint): COM1 (1007) only when comPort is exactly
// "COM1", otherwise COM2 (1008). Leaving by Next or Back stores "COM1" (string 61207) when 1007
// is checked, else "COM2" (61208): no other port name comes out of this page.
// Beside each radio a text of its own (1090, 1091) names the device the port stands for now, as
// the serial device factory describes it ("none found" where there is none); looked up afresh
// at every activation, so that an adapter plugged in meanwhile shows up on Back and Next.
// Next also drops the session's resolved device: the runs after it go where the texts said.

#include "app/ui/CUpgradePage.h"

class CWizPage2 : public CUpgradePage {
public:
    static constexpr int kCom1 = 1007;
    static constexpr int kCom2 = 1008;
    static constexpr int kCom1Device = 1090;
    static constexpr int kCom2Device = 1091;

    CWizPage2();
    bool OnSetActive() override;
    int OnWizardNext() override;
    int OnWizardBack() override;

protected:
    void loadControls() override;

private:
    void storePort();
};
