// Every text of every window fits its box with the installed fonts: statics (word-wrapped as the
// label draws them), push buttons, radio buttons, group boxes, the page titles in their bold serif
// font, and the progress window's status lines and verdicts; and the edit boxes that show a text
// too long for them show it from its first character.
#include "app/ui/CAgreementDlg.h"
#include "app/ui/WizardTestFixture.h"
#include "platform/qt/DialogUnits.h"
#include "upgrade/UpgradeWorker.h"
#include "upgrade/ui/CDownloadDlg.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

using TemplateTexts = WizardFixture;

// The width a line edit has for its text, as the edit lays it out.
int textWidth(const QLineEdit* e)
{
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.rect = e->contentsRect();
    opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
    const QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e).marginsRemoved(e->textMargins());
    return r.width() - 2 * 2;  // the edit's own margin on either side
}

// The template a control belongs to, or "sheet" for the wizard's own buttons.
std::string templateOf(const QWidget* w)
{
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (const auto* d = qobject_cast<const CDialog*>(p); d && d->templateId() != 0)
            return std::to_string(d->templateId());
    return "sheet";
}

// What does not fit in a window and its pages: "<template> <control> "<text>" needs WxH in WxH".
std::vector<std::string> misfits(const QWidget* window)
{
    std::vector<std::string> out;
    auto note = [&](const QWidget* w, const QString& text, QSize need, QSize room) {
        if (need.width() <= room.width() && need.height() <= room.height())
            return;
        const QString id = w->objectName().isEmpty() ? QStringLiteral("(static)") : w->objectName();
        out.push_back(templateOf(w) + " " + id.toStdString() + " \"" + text.left(40).toStdString() + "\" needs " +
                      std::to_string(need.width()) + "x" + std::to_string(need.height()) + " in " +
                      std::to_string(room.width()) + "x" + std::to_string(room.height()));
    };
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        const QFontMetrics fm = w->fontMetrics();
        const QStyle* st = w->style();
        if (const auto* l = qobject_cast<const QLabel*>(w)) {
            QString t = l->text();
            while (t.endsWith(QLatin1Char('\n')))  // trailing line breaks only add blank lines
                t.chop(1);
            if (t.isEmpty())
                continue;
            const QRect room = l->contentsRect();
            const int flags = int(l->alignment()) | Qt::TextExpandTabs | (l->wordWrap() ? Qt::TextWordWrap : 0);
            note(l, t, fm.boundingRect(QRect(room.topLeft(), QSize(room.width(), 100000)), flags, t).size(),
                 room.size());
        } else if (const auto* b = qobject_cast<const QPushButton*>(w)) {
            const QSize text = fm.boundingRect(QRect(), Qt::TextShowMnemonic, b->text()).size();
            const int margin = st->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
            note(b, b->text(), text + QSize(2 * margin, 0), b->size());
        } else if (qobject_cast<const QRadioButton*>(w) || qobject_cast<const QCheckBox*>(w)) {
            const auto* box = static_cast<const QAbstractButton*>(w);
            const bool radio = qobject_cast<const QRadioButton*>(w) != nullptr;
            const auto width = radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth;
            const auto spacing = radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing;
            const int indicator = st->pixelMetric(width, nullptr, box) + st->pixelMetric(spacing, nullptr, box);
            const QSize text = fm.boundingRect(QRect(), Qt::TextShowMnemonic, box->text()).size();
            note(box, box->text(), text + QSize(indicator, 0), box->size());
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            note(g, g->title(), QSize(fm.horizontalAdvance(g->title()) + fm.height(), fm.height()), g->size());
        }
    }
    return out;
}

TEST_F(TemplateTexts, EveryTextFitsItsBoxWithTheInstalledFonts)
{
    // The faces the windows are laid out for; without them the layout is not the one checked here.
    const QFont dialog = ui::dialogFont("MS Sans Serif", 8);
    EXPECT_EQ(QFontInfo(dialog).family(), QStringLiteral("Liberation Sans"));
    std::vector<std::string> bad;
    auto check = [&](const QWidget* w) {
        const auto found = misfits(w);
        bad.insert(bad.end(), found.begin(), found.end());
    };

    // The pages as painted (title font on) and the sheet's own buttons; each page's labels keep
    // the dialog font at its one size.
    start();
    for (int id : {132, 135, 136, 137, 138, 139, 140, 152, 153, 154}) {
        goTo(id);
        repaint();
        auto* title = page().item<QLabel>(CUpgradePage::kTitleId);
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(QFontInfo(title->font()).family(), QStringLiteral("Liberation Serif")) << id;
        for (const QLabel* l : page().findChildren<QLabel*>()) {
            if (l != title && l->pixmap().isNull()) {
                EXPECT_EQ(l->font(), dialog) << id << " " << l->text().toStdString();
            }
        }
    }
    check(wizard.get());
    wizard->hide();

    CAgreementDlg agreement;
    ASSERT_TRUE(agreement.Create());
    check(&agreement);

    // The progress window without a wizard shows the failure verdict at once; every status line
    // of a run and both verdicts must fit the status line, the widest count field its box.
    CDownloadDlg progress;
    ASSERT_TRUE(progress.Create());
    check(&progress);
    auto* status = progress.item<QLineEdit>(CDownloadDlg::kStatus);
    auto* count = progress.item<QLineEdit>(CDownloadDlg::kBootCount);
    ASSERT_TRUE(status && count);
    const QFont verdictFont = status->font();
    EXPECT_TRUE(verdictFont.bold());
    EXPECT_EQ(QFontInfo(verdictFont).family(), QStringLiteral("Liberation Serif"));
    const std::pair<const char*, bool> lines[] = {
        {ProgressState::kInitialStatus, false}, {kStatusErasing, false},      {kStatusPreparingFlash, false},
        {kStatusBootDownload, false},           {kStatusBootDone, false},     {kStatusCodeDownload, false},
        {ProgressState::kCompleted, true},      {ProgressState::kFailed, true},
    };
    for (const auto& [line, bold] : lines) {
        const QFontMetrics fm(bold ? verdictFont : progress.font());
        const int need = fm.horizontalAdvance(QString::fromLatin1(line));
        EXPECT_LE(need, textWidth(status)) << line;
    }
    EXPECT_LE(count->fontMetrics().horizontalAdvance(QStringLiteral("65535K of 65535K")), textWidth(count));
    // A text too long for its edit box (a deep path) is shown from its first character.
    const std::string path =
        "/home/operator/firmware/releases/2.0.10/images/for/the/router/module/in/the/lab/tarvelboot.dmf";
    for (int id : {CDownloadDlg::kStatus, CDownloadDlg::kBootPath, CDownloadDlg::kCodePath, CDownloadDlg::kBootCount}) {
        auto* e = progress.item<QLineEdit>(id);
        progress.SetDlgItemText(id, path);
        ASSERT_GT(e->fontMetrics().horizontalAdvance(e->text()), textWidth(e)) << id;
        EXPECT_EQ(e->cursorPosition(), 0) << id;
    }

    EXPECT_TRUE(bad.empty()) << [&] {
        std::string all;
        for (const auto& b : bad)
            all += b + "\n";
        return all;
    }();
}

}  // namespace
