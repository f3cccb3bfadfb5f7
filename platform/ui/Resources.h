#pragma once
// The program's window resources, looked up by id as the framework looks up linked-in resources.
// The framework (CDialog, CPropertyPage, the backends' control builders) only declares these; the
// program defines them (app/ui/Resources.cpp, app/ui/SideBitmap.cpp) and links them in.

#include "platform/ui/Bitmap.h"
#include "platform/ui/DialogTemplate.h"

namespace res {

// The dialog template with this id, or nullptr.
const ui::DialogTemplate* findDialog(int id);
// The bitmap resource with this id (a null bitmap for an unknown id).
ui::Bitmap loadBitmap(int id);

}  // namespace res
