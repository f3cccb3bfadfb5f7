// Message boxes from any thread, their captions and icons, and the file dialog's filter (the
// scripted file dialog is driven through the file page's Browse buttons).
#include "platform/qt/CDialog.h"
#include "platform/qt/CFileDialog.h"
#include "platform/qt/QtNotifier.h"
#include "app/ui/Resources.h"
#include "platform/qt/GuiTestApp.h"

#include <QEventLoop>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

namespace {

using platform::QtNotifier;

struct QtServices : ::testing::Test {
    void SetUp() override { guiApp(); }
};

TEST_F(QtServices, IconFollowsTheTypeAndNoIconMeansExclamation)
{
    EXPECT_EQ(QtNotifier::iconFor(platform::MB_OK), QMessageBox::Warning);
    EXPECT_EQ(QtNotifier::iconFor(platform::MB_ICONEXCLAMATION), QMessageBox::Warning);
    EXPECT_EQ(QtNotifier::iconFor(platform::MB_ICONASTERISK), QMessageBox::Information);
    EXPECT_EQ(QtNotifier::iconFor(platform::MB_ICONHAND), QMessageBox::Critical);
    EXPECT_EQ(QtNotifier::iconFor(platform::MB_ICONQUESTION), QMessageBox::Question);
}

TEST_F(QtServices, CaptionIsTheRunningExecutablesFileName)
{
    // Not argv[0] (the test application passes "upgrade" there): the file that runs, which is
    // what an installed, renamed program shows.
    const std::string running = std::filesystem::read_symlink("/proc/self/exe").filename().string();
    ASSERT_NE(running, "upgrade");
    EXPECT_EQ(QtNotifier::caption().toStdString(), running);
}

TEST_F(QtServices, ABoxFromAWorkerIsShownOnTheGuiThreadWhileTheWorkerWaits)
{
    QtNotifier n;
    std::atomic<bool> answered{false};
    n.setScript([&](const QtNotifier::Box&) {
        EXPECT_FALSE(answered.load());  // the worker is still inside messageBox
        return platform::IDOK;
    });
    QEventLoop loop;
    int answer = 0;
    std::thread worker([&] {
        answer = n.messageBox("Error: from the worker", platform::MB_OK);
        answered = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    EXPECT_EQ(answer, platform::IDOK);
    ASSERT_EQ(n.boxes().size(), 1u);
    const auto box = n.boxes()[0];
    EXPECT_EQ(box.text, "Error: from the worker");
    EXPECT_TRUE(box.onGuiThread);
    EXPECT_FALSE(box.calledOnGuiThread);
    EXPECT_EQ(box.caption, QtNotifier::caption().toStdString());
}

TEST_F(QtServices, BoxesAndBeepsAreRecordedInOrderAndABoxInvalidatesTheWindows)
{
    QtNotifier n;
    n.setScript([](const QtNotifier::Box&) { return platform::IDOK; });
    CDialog dlg(res::IDD_VERIFY);
    ASSERT_TRUE(dlg.Create());
    dlg.show();
    pumpEvents();
    const int before = dlg.paintCount();
    n.beep(platform::MB_ICONASTERISK);
    n.messageBox("first", platform::MB_ICONEXCLAMATION);
    n.messageBox("second", platform::MB_OK);
    pumpEvents();
    EXPECT_EQ(dlg.paintCount(), before + 1);  // covered by the boxes: one repaint after them
    ASSERT_EQ(n.boxes().size(), 2u);
    EXPECT_EQ(n.boxes()[0].text, "first");
    EXPECT_EQ(n.boxes()[1].text, "second");
    EXPECT_EQ(n.beeps(), std::vector<unsigned>{platform::MB_ICONASTERISK});
    dlg.hide();
}

TEST_F(QtServices, FilterTextBecomesQtNameFilters)
{
    EXPECT_EQ(CFileDialog::toQtFilters("Tarvel dmf files (tarvelboot.dmf)|tarvelboot.dmf|"),
              QStringList{QStringLiteral("Tarvel dmf files (tarvelboot.dmf) (tarvelboot.dmf)")});
    EXPECT_EQ(CFileDialog::toQtFilters("Images|*.png;*.bmp|All files|*.*||"),
              (QStringList{QStringLiteral("Images (*.png *.bmp)"), QStringLiteral("All files (*.*)")}));
    EXPECT_TRUE(CFileDialog::toQtFilters("").isEmpty());
    EXPECT_TRUE(CFileDialog::toQtFilters("no pattern").isEmpty());
}

}  // namespace
