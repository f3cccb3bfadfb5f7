#include "app/ui/CAgreementDlg.h"

#include "app/ui/Resources.h"

CAgreementDlg::CAgreementDlg(CDialog* parent) : CDialog(res::IDD_AGREEMENT, parent), agreementBlocks(::agreementBlocks()) {}

void CAgreementDlg::OnPaint()
{
    std::string text;
    for (const auto& block : agreementBlocks)
        text += block;
    SetDlgItemText(kAgreementControl, text);
}
