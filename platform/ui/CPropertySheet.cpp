#include "platform/ui/CPropertySheet.h"

#include "platform/ui/CPropertyPage.h"

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? pages_[static_cast<std::size_t>(index)] : nullptr;
}

int CPropertySheet::pageIndexOfTemplate(int templateId) const
{
    for (int i = 0; i < GetPageCount(); ++i)
        if (const CPropertyPage* p = pages_[static_cast<std::size_t>(i)]; p && p->templateId() == templateId)
            return i;
    return -1;
}

CPropertySheet* CPropertyPage::sheet() const
{
    return dynamic_cast<CPropertySheet*>(GetParent());
}
