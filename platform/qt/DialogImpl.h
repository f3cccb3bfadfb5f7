#pragma once
// The Qt backend's state of a CDialog (CDialog::Impl) and the QDialog that stands for it on
// screen. DialogWidget forwards what the toolkit reports (shown, exposed, keys, close box,
// accept/reject) to its CDialog; it never decides anything itself. Each CDialog owns its widget:
// destroying the dialog destroys the widget (a page's widget leaves the sheet with it).
// A sheet's own parts (page area, the four buttons, idle bookkeeping) are in SheetParts.
// Internal to platform/qt; tests and other Qt code use QtAccess.h.

#include "platform/ui/CDialog.h"

#include <QDialog>
#include <QMetaObject>
#include <QPointer>

#include <memory>
#include <vector>

class QPushButton;

namespace ui::qt {

class DialogWidget : public QDialog {
public:
    DialogWidget(CDialog* owner, QWidget* parent, bool page);

    CDialog* owner() const { return owner_; }
    bool isPage() const { return page_; }
    // The owner is being destroyed: forward nothing more.
    void detach() { owner_ = nullptr; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    CDialog* owner_;
    bool page_;
    bool exposeFilterInstalled_ = false;
};

struct SheetParts {
    QWidget* pageArea = nullptr;
    QPushButton* back = nullptr;
    QPushButton* next = nullptr;
    QPushButton* finish = nullptr;
    QPushButton* cancel = nullptr;
    std::vector<QPointer<QWidget>> pageWidgets;  // to hand back pages still alive at the end
    bool laidOut = false;
    bool inModal = false;
    int modalLevel = 0;
    bool idleQueued = false;
    bool activity = true;  // an event other than the idle call itself arrived since the last idle
    QObject* idleWatcher = nullptr;
    QMetaObject::Connection blockConnection;
};

}  // namespace ui::qt

struct CDialog::Impl {
    QPointer<ui::qt::DialogWidget> widget;
    bool paintQueued = false;
    std::unique_ptr<ui::qt::SheetParts> sheet;  // only for a CPropertySheet
};
