#include "platform/qt/CPropertySheet.h"

#include "platform/qt/CPropertyPage.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

#include <algorithm>

// Watches every event of the application while the sheet runs modally, to tell real activity
// from the sheet's own idle calls (which are delivered to this object), so that idle
// notifications come once per burst of activity instead of in a busy loop.
class IdleWatcher : public QObject {
public:
    explicit IdleWatcher(CPropertySheet* sheet) : QObject(sheet), sheet_(sheet) {}
    bool eventFilter(QObject* watched, QEvent*) override
    {
        if (watched != this)
            sheet_->activity_ = true;
        return false;
    }

private:
    CPropertySheet* sheet_;
};

CPropertySheet::CPropertySheet() : CDialog(0, nullptr)
{
    pageArea_ = new QWidget(this);
    back_ = new QPushButton(QStringLiteral("< &Back"), this);
    next_ = new QPushButton(QStringLiteral("&Next >"), this);
    finish_ = new QPushButton(QStringLiteral("Finish"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    // As in any dialog, a button that takes the focus also takes the default frame for as long
    // as it has it, and Enter presses it (CDialog::keyPressEvent).
    for (QPushButton* b : {back_, next_, finish_, cancel_}) {
        b->setFont(templateFont());
        b->setAutoDefault(true);
    }
    connect(back_, &QPushButton::clicked, this, [this] { goBack(); });
    connect(next_, &QPushButton::clicked, this, [this] { goNext(); });
    connect(finish_, &QPushButton::clicked, this, [this] { finish(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancel(); });
    applyButtons();
}

CPropertySheet::~CPropertySheet()
{
    // The pages belong to the derived class and are usually gone by now; any still alive are
    // taken out of the widget tree so that it does not delete them a second time.
    for (const auto& p : pages_)
        if (p && p->parent() == pageArea_)
            p->setParent(nullptr);
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    page->hide();
    page->setParent(pageArea_);
    page->setWindowFlags(Qt::Widget);
    pages_.push_back(page);
    laidOut_ = false;
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? pages_[static_cast<std::size_t>(index)].data() : nullptr;
}

int CPropertySheet::pageIndexOfTemplate(int templateId) const
{
    for (int i = 0; i < GetPageCount(); ++i)
        if (const auto& p = pages_[static_cast<std::size_t>(i)]; p && p->templateId() == templateId)
            return i;
    return -1;
}

bool CPropertySheet::SetActivePage(int index)
{
    if (!GetPage(index))
        return false;
    prepare();
    activate(index);
    return true;
}

void CPropertySheet::layoutWindow()
{
    if (laidOut_)
        return;
    const ui::DialogUnits& du = units();
    int w = 0, h = 0;
    for (const auto& p : pages_) {
        if (!p)
            continue;
        if (const ui::DialogTemplate* t = p->dialogTemplate()) {
            const QSize s = p->units().toPixels(t->width, t->height);
            w = std::max(w, s.width());
            h = std::max(h, s.height());
        }
    }
    pageArea_->setGeometry(0, 0, w, h);
    const int margin = du.toPixelsX(7);
    const int bw = du.toPixelsX(50), bh = du.toPixelsY(14);
    const int by = h + du.toPixelsY(11);
    auto* line = findChild<QFrame*>(QStringLiteral("sheetSeparator"));
    if (!line) {
        line = new QFrame(this);
        line->setObjectName(QStringLiteral("sheetSeparator"));
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
    }
    line->setGeometry(margin, h + du.toPixelsY(4), w - 2 * margin, 2);
    cancel_->setGeometry(w - margin - bw, by, bw, bh);
    next_->setGeometry(cancel_->x() - margin - bw, by, bw, bh);
    finish_->setGeometry(next_->geometry());
    back_->setGeometry(next_->x() - bw, by, bw, bh);
    setFixedSize(w, by + bh + du.toPixelsY(7));
    laidOut_ = true;
}

void CPropertySheet::prepare()
{
    Create();
    layoutWindow();
    if (active_ < 0 && !pages_.empty())
        activate(0);
}

int CPropertySheet::DoModal()
{
    prepare();
    auto* dispatcher = QAbstractEventDispatcher::instance();
    inModal_ = true;
    modalLevel_ = QThread::currentThread()->loopLevel() + 1;
    idleQueued_ = false;
    activity_ = true;
    if (!idleWatcher_)
        idleWatcher_ = new IdleWatcher(this);
    QCoreApplication::instance()->installEventFilter(idleWatcher_);
    if (dispatcher)
        blockConnection_ = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                                   [this] { onAboutToBlock(); }, Qt::DirectConnection);
    const int result = exec();
    inModal_ = false;
    disconnect(blockConnection_);
    QCoreApplication::instance()->removeEventFilter(idleWatcher_);
    return result;
}

void CPropertySheet::onAboutToBlock()
{
    // Only the sheet's own loop counts (not a nested one: message box, progress window), and
    // only when something other than an idle call has happened since the last one.
    if (!inModal_ || idleQueued_ || !activity_ || !isVisible())
        return;
    if (QThread::currentThread()->loopLevel() != modalLevel_)
        return;
    idleQueued_ = true;
    activity_ = false;
    QMetaObject::invokeMethod(idleWatcher_, [this] { kickIdle(); }, Qt::QueuedConnection);
}

void CPropertySheet::kickIdle()
{
    idleQueued_ = false;
    if (!inModal_ || !isVisible() || QThread::currentThread()->loopLevel() != modalLevel_) {
        activity_ = true;  // not delivered in the sheet's loop: try again when it is idle
        return;
    }
    ++idleCount_;
    OnKickIdle(0, 0);
}

long CPropertySheet::OnKickIdle(long, long)
{
    return 0;
}

void CPropertySheet::activate(int index)
{
    CPropertyPage* page = GetPage(index);
    if (!page)
        return;
    if (!page->isCreated())
        page->Create();
    CPropertyPage* old = GetActivePage();
    // Where the focus was before the old page goes: hiding it would hand a focus inside it to
    // whatever comes next in the toolkit's chain, often a button of the sheet (Back), where the
    // next Enter would press it.
    QWidget* focus = focusWidget();
    const bool focusOnPage = !focus || (old && old->isAncestorOf(focus));
    if (old && old != page)
        old->hide();
    active_ = index;
    page->OnSetActive();
    page->move(0, 0);
    page->show();
    page->raise();
    if (focusOnPage)
        focusFirstControl(page);
    page->invalidate();
    setWindowTitle(QString::fromLatin1(page->caption().c_str()));
    emit pageActivated(page->templateId());
}

void CPropertySheet::focusFirstControl(CPropertyPage* page)
{
    // The page's first control that takes the focus by Tab, in template order; in a group of
    // radio buttons the one that is checked, as Tab into the group would choose (focusing the
    // other would not check it). Without such a control, the default button.
    const auto controls = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (auto it = controls.begin(); it != controls.end(); ++it) {
        QWidget* w = *it;
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(page) || !w->isEnabled())
            continue;
        for (auto r = it; r != controls.end() && qobject_cast<QRadioButton*>(*r); ++r)
            if (static_cast<QRadioButton*>(*r)->isChecked() && (*r)->isEnabled())
                w = *r;
        w->setFocus(Qt::TabFocusReason);
        return;
    }
    for (QPushButton* b : {finish_, next_, cancel_}) {
        if (b->isVisibleTo(this) && b->isEnabled()) {
            b->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void CPropertySheet::go(int result, int adjacent)
{
    if (result == -1)
        return;
    const int target = result == 0 ? adjacent : pageIndexOfTemplate(result);
    if (target < 0 || target >= GetPageCount())
        return;
    if (CPropertyPage* cur = GetActivePage(); cur && !cur->OnKillActive())
        return;
    activate(target);
}

void CPropertySheet::goBack()
{
    if (locked_ || !GetActivePage())
        return;
    go(GetActivePage()->OnWizardBack(), active_ - 1);
}

void CPropertySheet::goNext()
{
    if (locked_ || !GetActivePage())
        return;
    go(GetActivePage()->OnWizardNext(), active_ + 1);
}

void CPropertySheet::finish()
{
    if (locked_)
        return;
    if (CPropertyPage* cur = GetActivePage(); cur && !cur->OnWizardFinish())
        return;
    EndDialog(ID_WIZFINISH);
}

void CPropertySheet::cancel()
{
    if (locked_)
        return;
    EndDialog(platform::IDCANCEL);
}

void CPropertySheet::OnOK()
{
    // Enter with the focus on no push button: the default button, Finish where it is shown,
    // else Next.
    if (finish_->isVisible() && finish_->isEnabled())
        finish();
    else if (next_->isVisible() && next_->isEnabled())
        goNext();
}

void CPropertySheet::OnCancel()
{
    cancel();
}

void CPropertySheet::SetWizardButtons(unsigned flags)
{
    buttons_ = flags;
    applyButtons();
}

void CPropertySheet::applyButtons()
{
    const bool finishShown = (buttons_ & PSWIZB_FINISH) != 0;
    // Finish and Next share one place: a focus on the one that goes passes to the one that
    // comes, rather than on along the chain to Cancel, where Enter would cancel.
    QWidget* const focus = focusWidget();
    back_->setEnabled(!locked_ && (buttons_ & PSWIZB_BACK));
    (finishShown ? finish_ : next_)->setVisible(true);
    (finishShown ? next_ : finish_)->setVisible(false);
    next_->setEnabled(!locked_ && (buttons_ & PSWIZB_NEXT));
    finish_->setEnabled(!locked_ && finishShown);
    QPushButton* const shown = finishShown ? finish_ : next_;
    if ((focus == next_ || focus == finish_) && focus != shown && shown->isEnabled())
        shown->setFocus(Qt::OtherFocusReason);
    cancel_->setEnabled(!locked_);
    (finishShown ? finish_ : next_)->setDefault(true);
    (finishShown ? next_ : finish_)->setDefault(false);
}

void CPropertySheet::PressButton(int button)
{
    auto usable = [](QPushButton* b) { return b->isVisibleTo(b->parentWidget()) && b->isEnabled(); };
    switch (button) {
    case PSBTN_BACK:
        if (usable(back_))
            goBack();
        break;
    case PSBTN_NEXT:
        if (usable(next_))
            goNext();
        break;
    case PSBTN_FINISH:
        if (usable(finish_))
            finish();
        break;
    case PSBTN_CANCEL:
        if (usable(cancel_))
            cancel();
        break;
    default:
        break;
    }
}

void CPropertySheet::setNavigationLocked(bool locked)
{
    locked_ = locked;
    applyButtons();
}
