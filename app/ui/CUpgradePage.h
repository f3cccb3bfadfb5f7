#pragma once
// CUpgradePage: what every page of the upgrade wizard does the same way. Derive a page from it,
// give its template id and wizard buttons to the constructor, and override:
//   loadControls()  rewrite the page's controls from the settings; called on activation
//                   (OnSetActive) and on every repaint (OnPaint), so unsaved changes in the
//                   controls are replaced by the stored settings whenever the page repaints;
//   OnPaint()       call CUpgradePage::OnPaint() first (title font, loadControls), then write
//                   texts that are composed on paint only;
//   OnWizardNext()/OnWizardBack() as CPropertyPage says (0, -1 or a template id).
// OnInitDialog creates titleFont (Times New Roman, bold, cell height 16) once; every paint puts
// it on the title control 1009. The settings are reached through the parent window, the wizard
// sheet (settings()); a page must therefore live in a CUpgradeWizard.
// Operator messages go through failureBox(): asterisk beep, then a box with the exclamation icon.

#include "app/UpgradeSettings.h"
#include "platform/ui/CPropertyPage.h"
#include "platform/ui/Font.h"

#include <string>

class CUpgradeWizard;

class CUpgradePage : public CPropertyPage {
public:
    static constexpr int kTitleId = 1009;

    CUpgradePage(int templateId, unsigned wizardButtons);

    bool OnInitDialog() override;
    bool OnSetActive() override;
    void OnPaint() override;

    CUpgradeWizard* wizard() const;
    UpgradeSettings& settings() const;
    unsigned wizardButtonSet() const { return buttons_; }

    ui::Font titleFont;
    bool hasTitleFont() const { return titleFontCreated_; }

protected:
    virtual void loadControls() {}
    // Beep (asterisk), then a box with the exclamation icon and an OK button.
    static void failureBox(const std::string& text);

private:
    unsigned buttons_;
    bool titleFontCreated_ = false;
};
