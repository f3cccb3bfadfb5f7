#include "platform/ui/CPropertyPage.h"

#include "platform/qt/DialogImpl.h"

CPropertyPage::CPropertyPage() : CDialog(0, nullptr)
{
    // A page is a child window of the sheet that adds it, never a window of its own.
    setParent(nullptr);
    delete impl_->widget.data();
    impl_->widget = new ui::qt::DialogWidget(this, nullptr, true);
}

CPropertyPage::CPropertyPage(int templateId) : CPropertyPage()
{
    Construct(templateId);
}
