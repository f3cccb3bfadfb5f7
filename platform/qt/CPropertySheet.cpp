#include "platform/ui/CPropertySheet.h"

#include "platform/qt/DialogImpl.h"
#include "platform/qt/DialogKeys.h"
#include "platform/qt/QtAccess.h"
#include "platform/ui/CPropertyPage.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFrame>
#include <QPushButton>
#include <QThread>

#include <algorithm>

namespace {

using ui::qt::widgetOf;

// Watches every event of the application while the sheet runs modally, to tell real activity
// from the sheet's own idle calls (which are delivered to this object), so that idle
// notifications come once per burst of activity instead of in a busy loop.
class IdleWatcher : public QObject {
public:
    IdleWatcher(QObject* parent, ui::qt::SheetParts& parts) : QObject(parent), parts_(parts) {}
    bool eventFilter(QObject* watched, QEvent*) override
    {
        if (watched != this)
            parts_.activity = true;
        return false;
    }

private:
    ui::qt::SheetParts& parts_;
};

}  // namespace

struct CPropertySheet::Backend {
    static ui::qt::SheetParts& parts(const CPropertySheet& s) { return *s.impl_->sheet; }
    static QDialog* window(const CPropertySheet& s) { return widgetOf(s); }

    static void layoutWindow(CPropertySheet& s)
    {
        ui::qt::SheetParts& sp = parts(s);
        if (sp.laidOut)
            return;
        const ui::DialogUnits& du = s.units();
        int w = 0, h = 0;
        for (const CPropertyPage* p : s.pages_) {
            if (const ui::DialogTemplate* t = p ? p->dialogTemplate() : nullptr) {
                const ui::PixelSize size = p->units().toPixels(t->width, t->height);
                w = std::max(w, size.width);
                h = std::max(h, size.height);
            }
        }
        sp.pageArea->setGeometry(0, 0, w, h);
        const int margin = du.toPixelsX(7);
        const int bw = du.toPixelsX(50), bh = du.toPixelsY(14);
        const int by = h + du.toPixelsY(11);
        QDialog* win = window(s);
        auto* line = win->findChild<QFrame*>(QStringLiteral("sheetSeparator"));
        if (!line) {
            line = new QFrame(win);
            line->setObjectName(QStringLiteral("sheetSeparator"));
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
        }
        line->setGeometry(margin, h + du.toPixelsY(4), w - 2 * margin, 2);
        sp.cancel->setGeometry(w - margin - bw, by, bw, bh);
        sp.next->setGeometry(sp.cancel->x() - margin - bw, by, bw, bh);
        sp.finish->setGeometry(sp.next->geometry());
        sp.back->setGeometry(sp.next->x() - bw, by, bw, bh);
        win->setFixedSize(w, by + bh + du.toPixelsY(7));
        sp.laidOut = true;
    }

    static void onAboutToBlock(CPropertySheet& s)
    {
        // Only the sheet's own loop counts (not a nested one: message box, progress window,
        // a page's local loop), and only when something other than an idle call has happened
        // since the last one.
        ui::qt::SheetParts& sp = parts(s);
        if (!sp.inModal || sp.idleQueued || !sp.activity || !window(s)->isVisible())
            return;
        if (QThread::currentThread()->loopLevel() != sp.modalLevel)
            return;
        sp.idleQueued = true;
        sp.activity = false;
        QMetaObject::invokeMethod(sp.idleWatcher, [&s] { kickIdle(s); }, Qt::QueuedConnection);
    }

    static void kickIdle(CPropertySheet& s)
    {
        ui::qt::SheetParts& sp = parts(s);
        sp.idleQueued = false;
        if (!sp.inModal || !window(s)->isVisible() || QThread::currentThread()->loopLevel() != sp.modalLevel) {
            sp.activity = true;  // not delivered in the sheet's loop: try again when it is idle
            return;
        }
        ++s.idleCount_;
        s.OnKickIdle(0, 0);
    }

    static void activate(CPropertySheet& s, int index)
    {
        CPropertyPage* page = s.GetPage(index);
        if (!page)
            return;
        if (!page->isCreated())
            page->Create();
        CPropertyPage* old = s.GetActivePage();
        QDialog* pageWidget = widgetOf(*page);
        // Where the focus was before the old page goes: hiding it would hand a focus inside it to
        // whatever comes next in the toolkit's chain, often a button of the sheet (Back), where
        // the next Enter would press it.
        QWidget* focus = window(s)->focusWidget();
        const bool focusOnPage = !focus || (old && widgetOf(*old)->isAncestorOf(focus));
        if (old && old != page)
            widgetOf(*old)->hide();
        s.active_ = index;
        page->OnSetActive();
        pageWidget->move(0, 0);
        pageWidget->show();
        pageWidget->raise();
        if (focusOnPage)
            focusFirstControl(s, *page);
        page->invalidate();
        window(s)->setWindowTitle(QString::fromLatin1(page->caption().c_str()));
        if (s.pageActivated)
            s.pageActivated(page->templateId());
    }

    static void focusFirstControl(CPropertySheet& s, CPropertyPage& page)
    {
        // The page's first control that Tab reaches (in a group of radio buttons the checked
        // one: focusing the other would not check it). Without such a control, the default button.
        QDialog* pw = widgetOf(page);
        const std::vector<QWidget*> controls = ui::qt::navigationControls(pw);
        const int first = ui::DialogNavigation::tab(ui::qt::navigationState(controls, pw), -1, true);
        if (first >= 0) {
            controls[static_cast<std::size_t>(first)]->setFocus(Qt::TabFocusReason);
            return;
        }
        const ui::qt::SheetParts& sp = parts(s);
        for (QPushButton* b : {sp.finish, sp.next, sp.cancel}) {
            if (b->isVisibleTo(window(s)) && b->isEnabled()) {
                b->setFocus(Qt::TabFocusReason);
                return;
            }
        }
    }

    static void go(CPropertySheet& s, int result, int adjacent)
    {
        if (result == -1)
            return;
        const int target = result == 0 ? adjacent : s.pageIndexOfTemplate(result);
        if (target < 0 || target >= s.GetPageCount())
            return;
        if (CPropertyPage* cur = s.GetActivePage(); cur && !cur->OnKillActive())
            return;
        activate(s, target);
    }

    static void goBack(CPropertySheet& s)
    {
        if (s.locked_ || !s.GetActivePage())
            return;
        go(s, s.GetActivePage()->OnWizardBack(), s.active_ - 1);
    }

    static void goNext(CPropertySheet& s)
    {
        if (s.locked_ || !s.GetActivePage())
            return;
        go(s, s.GetActivePage()->OnWizardNext(), s.active_ + 1);
    }

    static void finish(CPropertySheet& s)
    {
        if (s.locked_)
            return;
        if (CPropertyPage* cur = s.GetActivePage(); cur && !cur->OnWizardFinish())
            return;
        s.EndDialog(ID_WIZFINISH);
    }

    static void cancel(CPropertySheet& s)
    {
        if (!s.locked_)
            s.EndDialog(platform::IDCANCEL);
    }

    static void applyButtons(CPropertySheet& s)
    {
        ui::qt::SheetParts& sp = parts(s);
        const bool finishShown = (s.buttons_ & PSWIZB_FINISH) != 0;
        // Finish and Next share one place: a focus on the one that goes passes to the one that
        // comes, rather than on along the chain to Cancel, where Enter would cancel.
        QWidget* const focus = window(s)->focusWidget();
        sp.back->setEnabled(!s.locked_ && (s.buttons_ & PSWIZB_BACK));
        (finishShown ? sp.finish : sp.next)->setVisible(true);
        (finishShown ? sp.next : sp.finish)->setVisible(false);
        sp.next->setEnabled(!s.locked_ && (s.buttons_ & PSWIZB_NEXT));
        sp.finish->setEnabled(!s.locked_ && finishShown);
        QPushButton* const shown = finishShown ? sp.finish : sp.next;
        if ((focus == sp.next || focus == sp.finish) && focus != shown && shown->isEnabled())
            shown->setFocus(Qt::OtherFocusReason);
        sp.cancel->setEnabled(!s.locked_);
        (finishShown ? sp.finish : sp.next)->setDefault(true);
        (finishShown ? sp.next : sp.finish)->setDefault(false);
    }

    static QPushButton* button(const CPropertySheet& s, int psbtn)
    {
        const ui::qt::SheetParts& sp = parts(s);
        switch (psbtn) {
        case PSBTN_BACK: return sp.back;
        case PSBTN_NEXT: return sp.next;
        case PSBTN_FINISH: return sp.finish;
        case PSBTN_CANCEL: return sp.cancel;
        default: return nullptr;
        }
    }
};

using Backend = CPropertySheet::Backend;

namespace ui::qt {

QPushButton* sheetButton(const CPropertySheet& sheet, int psbtn)
{
    return Backend::button(sheet, psbtn);
}

}  // namespace ui::qt

CPropertySheet::CPropertySheet() : CDialog(0, nullptr)
{
    impl_->sheet = std::make_unique<ui::qt::SheetParts>();
    ui::qt::SheetParts& sp = *impl_->sheet;
    QDialog* win = widgetOf(*this);
    sp.pageArea = new QWidget(win);
    sp.back = new QPushButton(QStringLiteral("< &Back"), win);
    sp.next = new QPushButton(QStringLiteral("&Next >"), win);
    sp.finish = new QPushButton(QStringLiteral("Finish"), win);
    sp.cancel = new QPushButton(QStringLiteral("Cancel"), win);
    // As in any dialog, a button that takes the focus also takes the default frame for as long
    // as it has it, and Enter presses it (the dialog widget's Enter rule).
    // They follow the page area, so in the Tab order they come after the page's controls.
    for (QPushButton* b : {sp.back, sp.next, sp.finish, sp.cancel}) {
        b->setFont(ui::qt::templateFont(*this));
        b->setAutoDefault(true);
        ui::qt::markControl(b, ui::ControlKind::PushButton, ui::kTabStop);
    }
    QObject::connect(sp.back, &QPushButton::clicked, win, [this] { Backend::goBack(*this); });
    QObject::connect(sp.next, &QPushButton::clicked, win, [this] { Backend::goNext(*this); });
    QObject::connect(sp.finish, &QPushButton::clicked, win, [this] { Backend::finish(*this); });
    QObject::connect(sp.cancel, &QPushButton::clicked, win, [this] { Backend::cancel(*this); });
    Backend::applyButtons(*this);
}

CPropertySheet::~CPropertySheet()
{
    // The pages belong to the derived class and are usually gone by now; any still alive are
    // taken out of the widget tree so that it does not delete them a second time.
    for (const auto& w : impl_->sheet->pageWidgets)
        if (w && w->parent() == impl_->sheet->pageArea)
            w->setParent(nullptr);
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    QDialog* w = widgetOf(*page);
    w->hide();
    w->setParent(impl_->sheet->pageArea);
    w->setWindowFlags(Qt::Widget);
    page->setParent(this);
    pages_.push_back(page);
    impl_->sheet->pageWidgets.emplace_back(w);
    impl_->sheet->laidOut = false;
}

bool CPropertySheet::SetActivePage(int index)
{
    if (!GetPage(index))
        return false;
    prepare();
    Backend::activate(*this, index);
    return true;
}

void CPropertySheet::prepare()
{
    Create();
    Backend::layoutWindow(*this);
    if (active_ < 0 && !pages_.empty())
        Backend::activate(*this, 0);
}

int CPropertySheet::DoModal()
{
    prepare();
    ui::qt::SheetParts& sp = *impl_->sheet;
    auto* dispatcher = QAbstractEventDispatcher::instance();
    sp.inModal = true;
    sp.modalLevel = QThread::currentThread()->loopLevel() + 1;
    sp.idleQueued = false;
    sp.activity = true;
    if (!sp.idleWatcher)
        sp.idleWatcher = new IdleWatcher(widgetOf(*this), sp);
    QCoreApplication::instance()->installEventFilter(sp.idleWatcher);
    if (dispatcher)
        sp.blockConnection = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, sp.idleWatcher,
                                              [this] { Backend::onAboutToBlock(*this); }, Qt::DirectConnection);
    const int result = widgetOf(*this)->exec();
    sp.inModal = false;
    QObject::disconnect(sp.blockConnection);
    QCoreApplication::instance()->removeEventFilter(sp.idleWatcher);
    return result;
}

void CPropertySheet::OnOK()
{
    // Enter with the focus on no push button: the default button, Finish where it is shown,
    // else Next.
    const ui::qt::SheetParts& sp = *impl_->sheet;
    if (sp.finish->isVisible() && sp.finish->isEnabled())
        Backend::finish(*this);
    else if (sp.next->isVisible() && sp.next->isEnabled())
        Backend::goNext(*this);
}

void CPropertySheet::OnCancel()
{
    Backend::cancel(*this);
}

void CPropertySheet::SetWizardButtons(unsigned flags)
{
    buttons_ = flags;
    Backend::applyButtons(*this);
}

bool CPropertySheet::isButtonEnabled(int button) const
{
    const QPushButton* b = Backend::button(*this, button);
    return b && b->isEnabled();
}

bool CPropertySheet::isButtonVisible(int button) const
{
    const QPushButton* b = Backend::button(*this, button);
    return b && b->isVisibleTo(b->parentWidget());
}

void CPropertySheet::PressButton(int button)
{
    if (!isButtonVisible(button) || !isButtonEnabled(button))
        return;
    switch (button) {
    case PSBTN_BACK: Backend::goBack(*this); break;
    case PSBTN_NEXT: Backend::goNext(*this); break;
    case PSBTN_FINISH: Backend::finish(*this); break;
    case PSBTN_CANCEL: Backend::cancel(*this); break;
    default: break;
    }
}

void CPropertySheet::setNavigationLocked(bool locked)
{
    locked_ = locked;
    Backend::applyButtons(*this);
}
