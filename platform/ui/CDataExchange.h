#pragma once
// Data exchange between a dialog's controls and its members (DDX_Text with UpdateData).
// A dialog overrides DoDataExchange(dx) and lists its bindings there:
//     void DoDataExchange(CDataExchange& dx) override { DDX_Text(dx, 1020, versionText); }
// UpdateData(true) copies control texts into the members, UpdateData(false) the other way.

#include <string>

class CDialog;

struct CDataExchange {
    CDialog* dialog = nullptr;
    bool saveAndValidate = true;
};

void DDX_Text(CDataExchange& dx, int controlId, std::string& value);
