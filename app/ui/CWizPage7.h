#pragma once
// CWizPage7: the boot-file and code-file page (template 140). Buttons Back and Next.
// Edits from the settings (activation and every repaint): 1042 bootFile, 1046 codeFile.
// Next reads both edits (DDX) and checks the boot path first: it must contain "tarvelboot.dmf",
// then the code path "tarvel.dmf" (case-sensitive substrings, anywhere in the path; an empty
// path fails). A failure sounds the asterisk beep, shows its box with the exclamation icon,
// puts the focus on the offending edit and stays, storing nothing; otherwise both paths are
// stored and the wizard goes on to the erase-choice page. The files are not opened here.
// Back stores both edits unchecked and returns to 139 when verifyFirst is set, else to 137.
// Browse (1043, 1047) runs the file-open dialog for one exact file name; its full path goes
// into the settings only, and reaches the edit through the repaint that follows the dialog.

#include "app/ui/CUpgradePage.h"

#include <string>

class CWizPage7 : public CUpgradePage {
public:
    static constexpr int kBootEdit = 1042;
    static constexpr int kBootBrowse = 1043;
    static constexpr int kCodeEdit = 1046;
    static constexpr int kCodeBrowse = 1047;

    static constexpr const char* kBootName = "tarvelboot.dmf";
    static constexpr const char* kCodeName = "tarvel.dmf";
    static constexpr const char* kInvalidBoot = "Invalid Tarvel boot file selected.\n\nPlease select a Tarvel boot file.";
    static constexpr const char* kInvalidCode = "Invalid Tarvel code file selected.\n\nPlease select a Tarvel code file.";
    static constexpr const char* kBootFilter = "Tarvel dmf files (tarvelboot.dmf)|tarvelboot.dmf|";
    static constexpr const char* kCodeFilter = "Tarvel dmf files (tarvel.dmf)|tarvel.dmf|";
    static constexpr const char* kBootTitle = "Select a Tarvel boot file.";
    static constexpr const char* kCodeTitle = "Select a Tarvel code file.";
    static constexpr const char* kDefaultExt = "*.dmf";

    CWizPage7();
    void DoDataExchange(CDataExchange& dx) override;
    int OnWizardNext() override;
    int OnWizardBack() override;
    void OnBrowseBootFile();
    void OnBrowseCodeFile();

    // The name rule: not empty and holding name as a case-sensitive substring.
    static bool isValidFile(const std::string& path, const char* name);

    std::string bootFileText;
    std::string codeFileText;

protected:
    void loadControls() override;

private:
    // Runs the file-open dialog; true with the chosen full path in path.
    bool browse(const char* filter, const char* title, std::string& path);
};
