// Message boxes from any thread, their captions and icons, and the file dialog's list of file
// types (the scripted file dialog is driven through the file page's Browse buttons).
#include "platform/qt/CDialog.h"
#include "platform/qt/CFileDialog.h"
#include "platform/qt/QtNotifier.h"
#include "app/ui/Resources.h"
#include "platform/qt/GuiTestApp.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
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

TEST_F(QtServices, CaptionIsTheProgramsFileNameWithoutExtension)
{
    EXPECT_EQ(QtNotifier::caption(), QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    EXPECT_FALSE(QtNotifier::caption().contains(QLatin1Char('/')));
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

TEST_F(QtServices, FileDialogShowsEachFilterDescriptionOnceAndListsOnlyItsPattern)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"tarvelboot.dmf", "tarvel.dmf", "notes.txt"})
        QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    const std::string start = dir.filePath(QStringLiteral("tarvelboot.dmf")).toStdString();
    struct Case {
        const char* filter;
        const char* shown;   // the list of file types, entries joined by " | "
        const char* listed;  // the files of the first entry
    };
    const Case cases[] = {
        {"Tarvel dmf files (tarvelboot.dmf)|tarvelboot.dmf|", "Tarvel dmf files (tarvelboot.dmf)", "tarvelboot.dmf"},
        {"Firmware|*.dmf|Notes (*.txt)|*.txt||", "Firmware | Notes (*.txt)", "tarvel.dmf | tarvelboot.dmf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        CFileDialog dlg(true, "*.dmf", start.c_str(), OFN_PATHMUSTEXIST, c.filter, nullptr);
        dlg.setTitle("Select a Tarvel boot file.");
        std::string shown, listed;
        later([&] {
            auto* fd = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(fd, nullptr);
            auto* types = fd->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            ASSERT_NE(types, nullptr);
            QStringList entries;
            for (int i = 0; i < types->count(); ++i)
                entries << types->itemText(i);
            shown = entries.join(QStringLiteral(" | ")).toStdString();
            // The files of the first entry's pattern, once the folder has been read.
            auto* view = fd->findChild<QListView*>(QStringLiteral("listView"));
            ASSERT_NE(view, nullptr);
            auto names = [&] {
                QStringList n;
                for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
                    n << view->model()->index(r, 0, view->rootIndex()).data().toString();
                n.sort();
                return n;
            };
            auto joined = [&] { return names().join(QStringLiteral(" | ")).toStdString(); };
            EXPECT_TRUE(QTest::qWaitFor([&] { return joined() == c.listed; }, 5000));
            QTest::qWait(50);  // and nothing more arrives
            listed = joined();
            fd->reject();
        });
        EXPECT_EQ(dlg.DoModal(), platform::IDCANCEL);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(listed, c.listed);
    }
}

}  // namespace
