#include "platform/qt/CDataExchange.h"

#include "platform/qt/CDialog.h"

void DDX_Text(CDataExchange& dx, int controlId, std::string& value)
{
    if (dx.saveAndValidate)
        value = dx.dialog->GetDlgItemText(controlId);
    else
        dx.dialog->SetDlgItemText(controlId, value);
}
