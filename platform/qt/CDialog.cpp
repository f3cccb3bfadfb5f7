#include "platform/ui/CDialog.h"

#include "platform/qt/ControlFactory.h"
#include "platform/qt/DialogFont.h"
#include "platform/qt/DialogKeys.h"
#include "platform/qt/DialogImpl.h"
#include "platform/qt/QtAccess.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/UiReport.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace {

// Every live dialog, for invalidateAll(); touched on the GUI thread only.
std::vector<CDialog*>& liveDialogs()
{
    static std::vector<CDialog*> all;
    return all;
}

QString fromBytes(const std::string& s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// Unlike QWidget::isAncestorOf, this crosses window borders: a dialog's child may be a window.
bool descendsFrom(const QWidget* widget, const QWidget* ancestor)
{
    for (const QWidget* p = widget->parentWidget(); p; p = p->parentWidget())
        if (p == ancestor)
            return true;
    return false;
}

void connectButton(CDialog* dialog, QWidget* w)
{
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        const int id = ui::controlId(w);
        QObject::connect(b, &QPushButton::clicked, b, [dialog, id] { dialog->handleCommand(id); });
    }
}

}  // namespace

namespace ui::qt {

DialogWidget::DialogWidget(CDialog* owner, QWidget* parent, bool page) : QDialog(parent), owner_(owner), page_(page)
{
    installDialogKeys();
    if (page)
        setWindowFlags(Qt::Widget);
    else
        setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

void DialogWidget::accept()
{
    if (owner_)
        owner_->OnOK();
}

void DialogWidget::reject()
{
    if (owner_)
        owner_->OnCancel();
}

void DialogWidget::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (isWindow() && !exposeFilterInstalled_ && windowHandle()) {
        windowHandle()->installEventFilter(this);
        exposeFilterInstalled_ = true;
    }
    if (owner_)
        owner_->invalidate();
}

void DialogWidget::keyPressEvent(QKeyEvent* e)
{
    const int key = e->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (page_ && (enter || key == Qt::Key_Escape)) {
        e->ignore();  // to the sheet: default button, or Cancel
        return;
    }
    const bool plain = e->modifiers() == Qt::NoModifier || (e->modifiers() == Qt::KeypadModifier && key == Qt::Key_Enter);
    if (owner_ && plain && enter) {
        // A push button with the focus is pressed; anywhere else Enter means the default
        // button, which OnOK stands for.
        if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && b->isEnabled() && b->isVisible())
            b->click();
        else
            owner_->OnOK();
        return;
    }
    if (owner_ && plain && key == Qt::Key_Escape) {
        owner_->OnCancel();
        return;
    }
    QDialog::keyPressEvent(e);
}

void DialogWidget::closeEvent(QCloseEvent* e)
{
    // The close box asks; OnClose decides (EndDialog or stay).
    e->ignore();
    if (owner_)
        owner_->OnClose();
}

bool DialogWidget::eventFilter(QObject* watched, QEvent* e)
{
    if (owner_ && watched == windowHandle() && e->type() == QEvent::Expose && windowHandle()->isExposed())
        owner_->invalidate();
    return QDialog::eventFilter(watched, e);
}

QDialog* widgetOf(const CDialog& dialog)
{
    return dialog.impl().widget.data();
}

QWidget* itemWidget(const CDialog& dialog, int id)
{
    return controlById(widgetOf(dialog), id);
}

CDialog* dialogOf(const QWidget* widget)
{
    const auto* w = dynamic_cast<const DialogWidget*>(widget);
    return w ? w->owner() : nullptr;
}

QFont templateFont(const CDialog& dialog)
{
    const DialogTemplate* t = dialog.dialogTemplate();
    return t ? dialogFont(t->fontFace, t->fontPoints) : dialogFont("MS Sans Serif", 8);
}

}  // namespace ui::qt

using ui::qt::itemWidget;

CDialog::CDialog(int templateId, CDialog* parent) : impl_(std::make_unique<Impl>())
{
    parent_ = parent ? parent : AfxGetMainWnd();
    impl_->widget = new ui::qt::DialogWidget(this, parent_ ? ui::qt::widgetOf(*parent_) : nullptr, false);
    bindTemplate(templateId);
    liveDialogs().push_back(this);
}

CDialog::~CDialog()
{
    auto& all = liveDialogs();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (CWinApp* app = CWinApp::instance(); app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
    if (impl_->widget) {
        impl_->widget->detach();
        delete impl_->widget.data();
    }
}

void CDialog::bindTemplate(int templateId)
{
    lookUpTemplate(templateId);
    if (const ui::DialogTemplate* t = dialogTemplate()) {
        const ui::PixelSize size = units().toPixels(t->width, t->height);
        impl_->widget->setWindowTitle(fromBytes(t->caption));
        impl_->widget->setFixedSize(size.width, size.height);
    }
}

bool CDialog::Create()
{
    if (created_)
        return true;
    if (!dialogTemplate()) {
        if (templateId() != 0)
            return false;
        markCreated();
        OnInitDialog();
        return true;
    }
    QWidget* w = impl_->widget;
    const QFont font = ui::qt::templateFont(*this);
    w->setFont(font);
    for (QWidget* c : ui::createControls(w, *dialogTemplate(), units(), font))
        connectButton(this, c);
    markCreated();
    OnInitDialog();
    return true;
}

int CDialog::DoModal()
{
    if (!Create())
        return -1;
    return impl_->widget->exec();
}

void CDialog::EndDialog(int result)
{
    impl_->widget->done(result);
}

bool CDialog::hasItem(int id) const
{
    return itemWidget(*this, id) != nullptr;
}

void CDialog::SetDlgItemText(int id, const std::string& text)
{
    QWidget* w = itemWidget(*this, id);
    if (w && ui::UiReport::enabled() && GetDlgItemText(id) != text)
        ui::UiReport::controlText(id, text);
    const QString t = fromBytes(text);
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(t);
    else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        // Setting an edit's text puts the caret before its first character, so that a text wider
        // than the box is read from its start (the toolkit would leave it scrolled to its end).
        e->setText(t);
        e->setCursorPosition(0);
    } else if (auto* te = qobject_cast<QTextEdit*>(w))
        te->setPlainText(t);  // also returns the view to the top, as setting a window text does
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(t);
    else if (w)
        w->setWindowTitle(t);
}

std::string CDialog::GetDlgItemText(int id) const
{
    QWidget* w = itemWidget(*this, id);
    QString t;
    if (auto* l = qobject_cast<QLabel*>(w))
        t = l->text();
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        t = e->text();
    else if (auto* te = qobject_cast<QTextEdit*>(w))
        t = te->toPlainText();
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        t = b->text();
    const QByteArray bytes = t.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void CDialog::CheckDlgButton(int id, int state)
{
    auto* b = ui::qt::item<QAbstractButton>(*this, id);
    if (!b)
        return;
    const bool check = state == BST_CHECKED;
    if (b->isChecked() == check)
        return;
    // BM_SETCHECK sets exactly this button; an auto-exclusive button would refuse to be cleared.
    const bool exclusive = b->autoExclusive();
    b->setAutoExclusive(false);
    b->setChecked(check);
    b->setAutoExclusive(exclusive);
}

int CDialog::IsDlgButtonChecked(int id) const
{
    auto* b = ui::qt::item<QAbstractButton>(*this, id);
    return b && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CDialog::setItemFont(int id, const ui::Font& font)
{
    QWidget* w = itemWidget(*this, id);
    if (w && font.valid()) {
        w->setFont(ui::qt::toQFont(font));
        w->update();
    }
}

void CDialog::setProgressRange(int id, int low, int high)
{
    // The range travels as two 16-bit halves: keep each within 0..65535 rather than wrapping.
    auto clamp16 = [](int v) { return std::clamp(v, 0, 65535); };
    if (auto* p = ui::qt::item<QProgressBar>(*this, id))
        p->setRange(clamp16(low), clamp16(high));
}

void CDialog::setProgressPos(int id, int pos)
{
    if (auto* p = ui::qt::item<QProgressBar>(*this, id))
        p->setValue(std::clamp(pos, p->minimum(), p->maximum()));
}

void CDialog::setItemFocus(int id)
{
    if (QWidget* w = itemWidget(*this, id)) {
        w->setFocus(Qt::OtherFocusReason);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->selectAll();
    }
}

void CDialog::enableItem(int id, bool enable)
{
    if (QWidget* w = itemWidget(*this, id))
        w->setEnabled(enable);
}

void CDialog::showItem(int id, bool show)
{
    if (QWidget* w = itemWidget(*this, id))
        w->setVisible(show);
}

bool CDialog::isItemEnabled(int id) const
{
    const QWidget* w = itemWidget(*this, id);
    return w && w->isEnabled();
}

bool CDialog::isItemVisible(int id) const
{
    // The control's own state: whether the dialog itself is on screen is not asked.
    const QWidget* w = itemWidget(*this, id);
    return w && !w->isHidden();
}

bool CDialog::addControl(const ui::ControlTemplate& control)
{
    if (!created_ || (control.id != ui::kStaticId && hasItem(control.id)))
        return false;
    connectButton(this, ui::createControl(impl_->widget, control, units(), ui::qt::templateFont(*this)));
    return true;
}

bool CDialog::isWindowVisible() const
{
    return impl_->widget && impl_->widget->isVisible();
}

void CDialog::invalidate()
{
    ui::qt::DialogWidget* w = impl_->widget;
    if (!w)
        return;
    if (!impl_->paintQueued) {
        impl_->paintQueued = true;
        QMetaObject::invokeMethod(w, [this] {
            impl_->paintQueued = false;
            paintNow();
        }, Qt::QueuedConnection);
    }
    // Child dialogs (pages, the progress window) are found in our own registry. The toolkit's
    // child lists also hold its own dialogs (message boxes, file dialogs), which carry no owner.
    for (CDialog* d : liveDialogs())
        if (d != this && d->impl_->widget && descendsFrom(d->impl_->widget, w) && d->impl_->widget->isVisible())
            d->invalidate();
}

void CDialog::invalidateAll()
{
    for (CDialog* d : liveDialogs())
        if (d->isWindowVisible() && d->impl_->widget->isWindow())
            d->invalidate();
}
