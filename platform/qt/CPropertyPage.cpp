#include "platform/qt/CPropertyPage.h"

#include "platform/qt/CPropertySheet.h"

#include <QKeyEvent>

CPropertyPage::CPropertyPage() : CDialog(0, nullptr)
{
    setParent(nullptr);
    setWindowFlags(Qt::Widget);
}

CPropertyPage::CPropertyPage(int templateId) : CPropertyPage()
{
    Construct(templateId);
}

void CPropertyPage::Construct(int templateId)
{
    bindTemplate(templateId);
}

CPropertySheet* CPropertyPage::sheet() const
{
    for (QObject* p = parent(); p; p = p->parent())
        if (auto* s = qobject_cast<CPropertySheet*>(p))
            return s;
    return nullptr;
}

std::string CPropertyPage::caption() const
{
    return dialogTemplate() ? dialogTemplate()->caption : std::string();
}

void CPropertyPage::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        e->ignore();  // to the sheet: default button, or Cancel
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}
