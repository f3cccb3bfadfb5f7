// Every text of every window fits its box with the faces the package depends on (Liberation Sans
// for the dialogs, Liberation Serif for the titles; missing faces fail the test): statics as the
// label wraps them, push and radio buttons with their indicator, group box titles, every status
// line of a run (the verdicts in bold), and each side picture inside its page.
#include "app/ui/CAgreementDlg.h"
#include "platform/qt/ControlFactory.h"
#include "support/WindowTest.h"
#include "upgrade/UpgradeWorker.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>

namespace {

using TextFit = WizardFixture;

std::string misfit(int dialog, const QWidget* w, const QString& text, QSize need, QSize room)
{
    if (need.width() <= room.width() && need.height() <= room.height())
        return {};
    QString shown = text.left(40);
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n")).replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return std::to_string(dialog) + "/" + std::to_string(ui::controlId(w)) + " \"" + shown.toStdString() + "\" needs " +
           std::to_string(need.width()) + "x" + std::to_string(need.height()) + " px in " +
           std::to_string(room.width()) + "x" + std::to_string(room.height());
}

// What does not fit among a window's controls.
void collectMisfits(int dialog, const QWidget* window, std::vector<std::string>& out)
{
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        const QFontMetrics fm = w->fontMetrics();
        QString text;
        QSize need, room = w->size();
        if (const auto* l = qobject_cast<const QLabel*>(w)) {
            if (!l->pixmap().isNull()) {  // a picture: inside its page
                text = QStringLiteral("(picture)");
                need = QSize(l->geometry().right() + 1, l->geometry().bottom() + 1);
                room = window->size();
            } else {
                text = l->text();
                while (text.endsWith(QLatin1Char('\n')))  // blank lines at the end show nothing
                    text.chop(1);
                room = l->contentsRect().size();
                need = fm.boundingRect(QRect(0, 0, room.width(), 100000),
                                       int(l->alignment()) | Qt::TextExpandTabs | Qt::TextWordWrap, text)
                           .size();
            }
        } else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            text = b->text();
            const QStyle* s = w->style();
            const int extra = qobject_cast<const QRadioButton*>(w)
                                  ? s->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                                        s->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w)
                                  : 2 * s->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w);
            need = fm.boundingRect(QRect(), Qt::TextShowMnemonic, text).size() + QSize(extra, 0);
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            text = g->title();
            need = QSize(fm.horizontalAdvance(text) + fm.height(), fm.height());
        }
        if (const std::string m = text.isEmpty() ? std::string() : misfit(dialog, w, text, need, room); !m.empty())
            out.push_back(m);
    }
}

TEST_F(TextFit, EveryTextFitsItsBoxWithThePackagesFaces)
{
    std::vector<std::string> bad;
    goTo(132);
    repaint();
    EXPECT_EQ(QFontInfo(control(1009)->font()).family(), QStringLiteral("Liberation Serif")) << "the title font";
    EXPECT_EQ(QFontInfo(widgetOf(page())->font()).family(), QStringLiteral("Liberation Sans")) << "the dialog font";
    for (int id : {132, 135, 136, 137, 138, 139, 140, 152, 153, 154}) {
        goTo(id);
        repaint();  // the title font is on
        collectMisfits(id, widgetOf(page()), bad);
    }
    winApp.m_pMainWnd = nullptr;  // no wizard, so no worker: the window shows the failure verdict in bold
    CAgreementDlg agreement;
    CDownloadDlg progress;
    winApp.m_pMainWnd = wizard.get();
    for (CDialog* d : {static_cast<CDialog*>(&agreement), static_cast<CDialog*>(&progress)}) {
        ASSERT_TRUE(d->Create());
        collectMisfits(d->templateId(), widgetOf(*d), bad);
    }
    auto* status = item<QLineEdit>(progress, CDownloadDlg::kStatus);
    const QSize room = status->contentsRect().size() - QSize(4, 0);  // the line edit's own text margins
    const QFontMetrics plain(ui::qt::templateFont(progress)), bold = status->fontMetrics();
    const std::pair<const char*, bool> lines[] = {  // status line, shown in bold
        {ProgressState::kInitialStatus, false}, {kStatusErasing, false},      {kStatusPreparingFlash, false},
        {kStatusBootDownload, false},           {kStatusBootDone, false},     {kStatusCodeDownload, false},
        {ProgressState::kCompleted, true},      {ProgressState::kFailed, true}};
    for (const auto& [line, verdict] : lines) {
        const QString text = QString::fromLatin1(line);
        const QFontMetrics& fm = verdict ? bold : plain;
        if (auto m = misfit(155, status, text, QSize(fm.horizontalAdvance(text), fm.height()), room); !m.empty())
            bad.push_back(m);
    }
    EXPECT_EQ(bad, std::vector<std::string>{});
}

}  // namespace
