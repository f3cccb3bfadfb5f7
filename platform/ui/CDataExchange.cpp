#include "platform/ui/CDataExchange.h"

#include "platform/ui/CDialog.h"

void DDX_Text(CDataExchange& dx, int controlId, std::string& value)
{
    if (dx.saveAndValidate)
        value = dx.dialog->GetDlgItemText(controlId);
    else
        dx.dialog->SetDlgItemText(controlId, value);
}
