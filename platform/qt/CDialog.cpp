#include "platform/qt/CDialog.h"

#include "platform/qt/CDataExchange.h"
#include "platform/qt/CWinApp.h"
#include "platform/qt/ControlFactory.h"
#include "platform/qt/Resources.h"
#include "platform/qt/UiReport.h"

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

}  // namespace

CDialog::CDialog(int templateId, QWidget* parent)
    : QDialog(parent ? parent : AfxGetMainWnd()), templateId_(0), template_(nullptr)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    bindTemplate(templateId);
    liveDialogs().push_back(this);
}

void CDialog::bindTemplate(int templateId)
{
    templateId_ = templateId;
    template_ = templateId != 0 ? res::findDialog(templateId) : nullptr;
    const ui::DialogTemplate* t = template_;
    units_ = std::make_unique<ui::DialogUnits>(t ? ui::dialogUnits(t->fontFace, t->fontPoints)
                                                 : ui::dialogUnits("MS Sans Serif", 8));
    if (t) {
        setWindowTitle(fromBytes(t->caption));
        setFixedSize(units_->toPixels(t->width, t->height));
    }
}

CDialog::~CDialog()
{
    auto& all = liveDialogs();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

QFont CDialog::templateFont() const
{
    return template_ ? ui::dialogFont(template_->fontFace, template_->fontPoints) : ui::dialogFont("MS Sans Serif", 8);
}

bool CDialog::Create()
{
    if (created_)
        return true;
    if (!template_) {
        if (templateId_ != 0)
            return false;
        created_ = true;
        OnInitDialog();
        return true;
    }
    setFont(templateFont());
    const auto widgets = ui::createControls(this, *template_, *units_, templateFont());
    for (QWidget* w : widgets) {
        auto* b = qobject_cast<QPushButton*>(w);
        if (!b)
            continue;
        const int id = ui::controlId(w);
        connect(b, &QPushButton::clicked, this, [this, id] { handleCommand(id); });
    }
    created_ = true;
    OnInitDialog();
    return true;
}

int CDialog::DoModal()
{
    if (!Create())
        return -1;
    return exec();
}

void CDialog::EndDialog(int result)
{
    done(result);
}

void CDialog::onCommand(int id, std::function<void()> handler)
{
    commands_[id] = std::move(handler);
}

void CDialog::DoDataExchange(CDataExchange&) {}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx{this, saveAndValidate};
    DoDataExchange(dx);
    return true;
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

QWidget* CDialog::GetDlgItem(int id) const
{
    return ui::controlById(this, id);
}

void CDialog::SetDlgItemText(int id, const std::string& text)
{
    QWidget* w = GetDlgItem(id);
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
    QWidget* w = GetDlgItem(id);
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
    auto* b = item<QAbstractButton>(id);
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
    auto* b = item<QAbstractButton>(id);
    return b && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CDialog::setItemFont(int id, const QFont& f)
{
    if (QWidget* w = GetDlgItem(id)) {
        w->setFont(f);
        w->update();
    }
}

void CDialog::setProgressRange(int id, int low, int high)
{
    // The range travels as two 16-bit halves: keep each within 0..65535 rather than wrapping.
    auto clamp16 = [](int v) { return std::clamp(v, 0, 65535); };
    if (auto* p = item<QProgressBar>(id))
        p->setRange(clamp16(low), clamp16(high));
}

void CDialog::setProgressPos(int id, int pos)
{
    if (auto* p = item<QProgressBar>(id))
        p->setValue(std::clamp(pos, p->minimum(), p->maximum()));
}

void CDialog::setItemFocus(int id)
{
    if (QWidget* w = GetDlgItem(id)) {
        w->setFocus(Qt::OtherFocusReason);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->selectAll();
    }
}

void CDialog::invalidate()
{
    if (!paintQueued_) {
        paintQueued_ = true;
        QMetaObject::invokeMethod(this, [this] { deliverPaint(); }, Qt::QueuedConnection);
    }
    for (CDialog* child : findChildren<CDialog*>())
        if (child->isVisible())
            child->invalidate();
}

void CDialog::invalidateAll()
{
    for (CDialog* d : liveDialogs())
        if (d->isVisible() && d->isWindow())
            d->invalidate();
}

void CDialog::deliverPaint()
{
    paintQueued_ = false;
    if (!created_ || !isVisible())
        return;
    ++paintCount_;
    OnPaint();
}

void CDialog::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (isWindow() && !exposeFilterInstalled_ && windowHandle()) {
        windowHandle()->installEventFilter(this);
        exposeFilterInstalled_ = true;
    }
    invalidate();
}

void CDialog::keyPressEvent(QKeyEvent* e)
{
    if (e->modifiers() == Qt::NoModifier || (e->modifiers() == Qt::KeypadModifier && e->key() == Qt::Key_Enter)) {
        switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A push button with the focus is pressed; anywhere else Enter means the default
            // button, which OnOK stands for.
            if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && b->isEnabled() && b->isVisible())
                b->click();
            else
                OnOK();
            return;
        case Qt::Key_Escape:
            OnCancel();
            return;
        default:
            break;
        }
    }
    QDialog::keyPressEvent(e);
}

void CDialog::closeEvent(QCloseEvent* e)
{
    // The close box asks; OnClose decides (EndDialog or stay).
    e->ignore();
    OnClose();
}

bool CDialog::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == windowHandle() && e->type() == QEvent::Expose && windowHandle()->isExposed())
        invalidate();
    return QDialog::eventFilter(watched, e);
}
