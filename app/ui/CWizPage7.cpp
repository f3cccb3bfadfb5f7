#include "app/ui/CWizPage7.h"

#include "app/ui/Resources.h"
#include "platform/ui/CDataExchange.h"
#include "platform/ui/CFileDialog.h"
#include "platform/ui/CPropertySheet.h"

CWizPage7::CWizPage7() : CUpgradePage(res::IDD_FILES, PSWIZB_BACK | PSWIZB_NEXT)
{
    onCommand(kBootBrowse, [this] { OnBrowseBootFile(); });
    onCommand(kCodeBrowse, [this] { OnBrowseCodeFile(); });
}

void CWizPage7::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, kBootEdit, bootFileText);
    DDX_Text(dx, kCodeEdit, codeFileText);
}

void CWizPage7::loadControls()
{
    const UpgradeSettings& s = settings();
    SetDlgItemText(kBootEdit, s.bootFile);
    SetDlgItemText(kCodeEdit, s.codeFile);
}

bool CWizPage7::isValidFile(const std::string& path, const char* name)
{
    return !path.empty() && path.find(name) != std::string::npos;
}

int CWizPage7::OnWizardNext()
{
    UpdateData(true);
    if (!isValidFile(bootFileText, kBootName)) {
        failureBox(kInvalidBoot);
        setItemFocus(kBootEdit);
        return -1;
    }
    if (!isValidFile(codeFileText, kCodeName)) {
        failureBox(kInvalidCode);
        setItemFocus(kCodeEdit);
        return -1;
    }
    UpgradeSettings& s = settings();
    s.bootFile = bootFileText;
    s.codeFile = codeFileText;
    return res::IDD_ERASE;
}

int CWizPage7::OnWizardBack()
{
    UpdateData(true);
    UpgradeSettings& s = settings();
    s.bootFile = bootFileText;
    s.codeFile = codeFileText;
    return s.verifyFirst ? res::IDD_VERIFY_PASSED : res::IDD_VERIFY;
}

bool CWizPage7::browse(const char* filter, const char* title, std::string& path)
{
    CFileDialog dlg(true, kDefaultExt, nullptr, OFN_PATHMUSTEXIST, filter, nullptr);
    dlg.setTitle(title);
    const bool chosen = dlg.DoModal() == platform::IDOK;
    if (chosen)
        path = dlg.GetPathName();
    // The page was covered by the file dialog and repaints from the settings. The repaint is
    // delivered now rather than from the event queue, so that the chosen path is in its edit
    // box before a click on Next, which reads the edit boxes, can be handled.
    paintNow();
    return chosen;
}

void CWizPage7::OnBrowseBootFile()
{
    browse(kBootFilter, kBootTitle, settings().bootFile);
}

void CWizPage7::OnBrowseCodeFile()
{
    browse(kCodeFilter, kCodeTitle, settings().codeFile);
}
