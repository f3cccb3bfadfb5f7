// Every text of every window fits its box with the installed fonts (statics word-wrapped as the
// label draws them, buttons, radio buttons, group boxes, the titles in their bold serif font,
// every status line of a run), and an edit box shows a text too long for it from its start.
#include "app/ui/CAgreementDlg.h"
#include "support/WindowTest.h"
#include "upgrade/UpgradeWorker.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>

namespace {

using TemplateTexts = WizardFixture;

// What does not fit among a window's controls: "<control id> <text> needs WxH in WxH".
std::vector<std::string> misfits(const QWidget* window)
{
    std::vector<std::string> out;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        const QFontMetrics fm = w->fontMetrics();
        QString text;
        QSize need, room = w->size();
        if (const auto* l = qobject_cast<const QLabel*>(w)) {
            text = l->text().trimmed();
            room = l->contentsRect().size();
            need = fm.boundingRect(QRect(0, 0, room.width(), 100000), int(l->alignment()) | Qt::TextExpandTabs | Qt::TextWordWrap, text).size();
        } else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            text = b->text();
            const bool radio = qobject_cast<const QRadioButton*>(w) != nullptr;
            const int extra = radio ? w->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                                          w->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w)
                                    : 2 * w->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w);
            need = fm.boundingRect(QRect(), Qt::TextShowMnemonic, text).size() + QSize(extra, 0);
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            text = g->title();
            need = QSize(fm.horizontalAdvance(text) + fm.height(), fm.height());
        }
        if (!text.isEmpty() && (need.width() > room.width() || need.height() > room.height()))
            out.push_back(w->objectName().toStdString() + " " + text.left(30).toStdString() + " needs " +
                          std::to_string(need.width()) + "x" + std::to_string(need.height()) + " in " +
                          std::to_string(room.width()) + "x" + std::to_string(room.height()));
    }
    return out;
}

TEST_F(TemplateTexts, EveryTextFitsItsBoxWithTheInstalledFonts)
{
    std::vector<std::string> bad;
    start();
    for (int id : {132, 135, 136, 137, 138, 139, 140, 152, 153, 154}) {
        goTo(id);
        repaint();  // the title font is on
        EXPECT_EQ(QFontInfo(itemWidget(page(), 1009)->font()).family(), QStringLiteral("Liberation Serif")) << id;
        EXPECT_EQ(QFontInfo(widgetOf(page())->font()).family(), QStringLiteral("Liberation Sans"));
        for (const auto& m : misfits(widgetOf(page())))
            bad.push_back(std::to_string(id) + " " + m);
    }
    CAgreementDlg agreement;
    CDownloadDlg progress;  // no worker behind it here: it shows the failure verdict in bold
    for (CDialog* d : {static_cast<CDialog*>(&agreement), static_cast<CDialog*>(&progress)}) {
        ASSERT_TRUE(d->Create());
        for (const auto& m : misfits(widgetOf(*d)))
            bad.push_back(std::to_string(d->templateId()) + " " + m);
    }
    auto* status = item<QLineEdit>(progress, CDownloadDlg::kStatus);
    const int room = status->contentsRect().width() - 8;  // the edit's frame and margins
    for (const char* line : {ProgressState::kInitialStatus, kStatusErasing, kStatusPreparingFlash, kStatusBootDownload,
                             kStatusBootDone, kStatusCodeDownload, ProgressState::kCompleted, ProgressState::kFailed})
        EXPECT_LE(status->fontMetrics().horizontalAdvance(QString::fromLatin1(line)), room) << line;  // in bold
    const std::string path = "/home/operator/firmware/releases/2.0.10/images/for/the/router/module/tarvelboot.dmf";
    progress.SetDlgItemText(CDownloadDlg::kBootPath, path);
    EXPECT_EQ(item<QLineEdit>(progress, CDownloadDlg::kBootPath)->cursorPosition(), 0);
    EXPECT_TRUE(bad.empty()) << ::testing::PrintToString(bad);
}

}  // namespace
