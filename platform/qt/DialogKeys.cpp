#include "platform/qt/DialogKeys.h"

#include "platform/qt/DialogImpl.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace ui::qt {

namespace {

void collect(const QWidget* parent, const QWidget* root, std::vector<QWidget*>& out)
{
    for (QObject* o : parent->children()) {
        if (!o->isWidgetType())
            continue;
        auto* w = static_cast<QWidget*>(o);
        if (w->isWindow())
            continue;
        if (w->property(kControlKindProperty).isValid())
            out.push_back(w);
        else if (w->isVisibleTo(root))
            collect(w, root, out);  // the sheet's page area, the page shown in it
    }
}

class KeyFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const auto* k = static_cast<QKeyEvent*>(e);
        const Qt::KeyboardModifiers mods = k->modifiers() & ~Qt::KeypadModifier;
        const int key = k->key();
        const bool tab = (key == Qt::Key_Tab || key == Qt::Key_Backtab) && (mods & ~Qt::ShiftModifier) == 0;
        const bool forward = key == Qt::Key_Tab && !(mods & Qt::ShiftModifier);
        // Arrows with Shift or Ctrl too: the toolkit's buttons would move the focus on them all.
        const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
        if (!tab && !arrow)
            return false;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        if (!dynamic_cast<DialogWidget*>(window))
            return false;
        const std::vector<QWidget*> controls = navigationControls(window);
        const auto at = std::find(controls.begin(), controls.end(), window->focusWidget());
        const int from = at == controls.end() ? -1 : static_cast<int>(at - controls.begin());
        const std::vector<NavControl> state = navigationState(controls, window);
        if (tab) {
            const int to = DialogNavigation::tab(state, from, forward);
            if (to >= 0)
                controls[static_cast<std::size_t>(to)]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
        if (from < 0)
            return false;
        const NavControl& here = state[static_cast<std::size_t>(from)];
        if (here.kind == ControlKind::AutoRadio) {
            const int to = DialogNavigation::arrow(state, from, key == Qt::Key_Down || key == Qt::Key_Right);
            if (to >= 0) {
                auto* b = static_cast<QAbstractButton*>(controls[static_cast<std::size_t>(to)]);
                b->setFocus(Qt::OtherFocusReason);
                if (!b->isChecked())
                    b->click();  // as the dialog manager clicks an automatic radio button it moves to
            }
            return true;
        }
        // A push button keeps the focus: an arrow never walks onto another button (Cancel).
        return here.kind == ControlKind::PushButton || here.kind == ControlKind::DefPushButton;
    }
};

}  // namespace

void markControl(QWidget* w, ControlKind kind, unsigned style)
{
    w->setProperty(kControlKindProperty, static_cast<int>(kind));
    w->setProperty(kControlStyleProperty, style);
}

std::vector<QWidget*> navigationControls(const QWidget* root)
{
    std::vector<QWidget*> out;
    if (root)
        collect(root, root, out);
    return out;
}

std::vector<NavControl> navigationState(const std::vector<QWidget*>& controls, const QWidget* root)
{
    std::vector<NavControl> state;
    state.reserve(controls.size());
    for (const QWidget* w : controls) {
        NavControl c;
        c.kind = static_cast<ControlKind>(w->property(kControlKindProperty).toInt());
        c.style = w->property(kControlStyleProperty).toUInt();
        c.usable = w->isVisibleTo(root) && w->isEnabled();
        const auto* b = qobject_cast<const QAbstractButton*>(w);
        c.checked = b && b->isChecked();
        state.push_back(c);
    }
    return state;
}

void installDialogKeys()
{
    static QPointer<KeyFilter> filter;  // goes with the application object
    if (filter || !QCoreApplication::instance())
        return;
    filter = new KeyFilter;
    filter->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(filter);
}

}  // namespace ui::qt
