#include "platform/ui/CDialog.h"

#include "platform/ui/CDataExchange.h"
#include "platform/ui/Resources.h"

void CDialog::lookUpTemplate(int templateId)
{
    templateId_ = templateId;
    template_ = templateId != 0 ? res::findDialog(templateId) : nullptr;
    units_ = std::make_unique<ui::DialogUnits>(template_ ? ui::dialogUnits(template_->fontFace, template_->fontPoints)
                                                         : ui::dialogUnits("MS Sans Serif", 8));
}

void CDialog::onCommand(int id, std::function<void()> handler)
{
    commands_[id] = std::move(handler);
}

void CDialog::handleCommand(int id)
{
    auto it = commands_.find(id);
    if (it != commands_.end()) {
        it->second();
        return;
    }
    if (id == platform::IDOK)
        OnOK();
    else if (id == platform::IDCANCEL)
        OnCancel();
}

void CDialog::DoDataExchange(CDataExchange&) {}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx{this, saveAndValidate};
    DoDataExchange(dx);
    return true;
}

void CDialog::paintNow()
{
    // A dialog that is not on screen is not drawn: its next showing paints it.
    if (!created_ || !isWindowVisible())
        return;
    ++paintCount_;
    OnPaint();
}
