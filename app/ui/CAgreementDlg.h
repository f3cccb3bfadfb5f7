#pragma once
// CAgreementDlg: the licence agreement (template 171), shown before anything else, without a
// parent. DoModal() gives IDOK for 'I accept' (or Enter with the focus anywhere but on 'I
// reject') and IDCANCEL for 'I reject', Escape or the close box. On every repaint the sixteen
// agreementBlocks, joined in order with nothing between them, become the whole content of the
// rich-edit control 1079 (which also returns its view to the top).

#include "app/AgreementText.h"
#include "platform/ui/CDialog.h"

#include <array>
#include <string>

class CAgreementDlg : public CDialog {
public:
    static constexpr int kAgreementControl = 1079;

    explicit CAgreementDlg(CDialog* parent = nullptr);
    void OnPaint() override;

    std::array<std::string, kAgreementBlockCount> agreementBlocks;
};
