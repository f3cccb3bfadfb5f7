#include "app/ui/CUpgradePage.h"

#include "app/ui/CUpgradeWizard.h"
#include "platform/Platform.h"
#include "platform/ui/CPropertySheet.h"
#include "platform/ui/Font.h"

#include <stdexcept>

CUpgradePage::CUpgradePage(int templateId, unsigned wizardButtons) : CPropertyPage(templateId), buttons_(wizardButtons) {}

bool CUpgradePage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    titleFont = ui::createFontA(16, 0, 0, 0, ui::FW_BOLD, false, false, false, ui::ANSI_CHARSET,
                                ui::OUT_DEFAULT_PRECIS, ui::CLIP_DEFAULT_PRECIS, ui::DEFAULT_QUALITY, ui::FF_ROMAN,
                                "Times New Roman");
    titleFontCreated_ = true;
    return true;
}

bool CUpgradePage::OnSetActive()
{
    if (CPropertySheet* s = sheet())
        s->SetWizardButtons(buttons_);
    loadControls();
    return CPropertyPage::OnSetActive();
}

void CUpgradePage::OnPaint()
{
    if (titleFontCreated_)
        setItemFont(kTitleId, titleFont);
    loadControls();
}

CUpgradeWizard* CUpgradePage::wizard() const
{
    return dynamic_cast<CUpgradeWizard*>(sheet());
}

UpgradeSettings& CUpgradePage::settings() const
{
    CUpgradeWizard* w = wizard();
    if (!w)
        throw std::logic_error("a wizard page is used outside its wizard");
    return w->settings;
}

void CUpgradePage::failureBox(const std::string& text)
{
    platform::notifier().beep(platform::MB_ICONASTERISK);
    platform::notifier().messageBox(text, platform::MB_ICONEXCLAMATION);
}
