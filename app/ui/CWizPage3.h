#pragma once
// CWizPage3: the target-version and console-login page (template 136). Buttons Back and Next.
// Edits from the settings (activation and every repaint): 1020 newVersion, 1018 username,
// 1019 password. Next reads the edits (DDX) and checks the version with isValidVersion: when it
// fails, beep, the invalid-version box, focus on 1020, stay, and nothing is stored; otherwise
// all three are stored and the wizard goes on. Back stores all three without any check.

#include "app/ui/CUpgradePage.h"

#include <string>

class CWizPage3 : public CUpgradePage {
public:
    static constexpr int kVersion = 1020;
    static constexpr int kUsername = 1018;
    static constexpr int kPassword = 1019;

    CWizPage3();
    void DoDataExchange(CDataExchange& dx) override;
    int OnWizardNext() override;
    int OnWizardBack() override;

    static bool isValidVersion(const std::string& text);

    std::string versionText;
    std::string usernameText;
    std::string passwordText;

protected:
    void loadControls() override;

private:
    void store();
};
