#pragma once
// The program's window resources, looked up by id as the framework looks up linked-in resources.
// The framework (CDialog, CPropertyPage, ControlFactory) only declares these; the program defines
// them (app/ui/Resources.cpp) and links them in.

#include "platform/qt/DialogTemplate.h"

#include <QImage>

namespace res {

// The dialog template with this id, or nullptr.
const ui::DialogTemplate* findDialog(int id);
// The bitmap resource with this id (a null image for an unknown id).
QImage loadBitmap(int id);

}  // namespace res
