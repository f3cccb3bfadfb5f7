#include "platform/ui/CFileDialog.h"

#include "platform/qt/QtAccess.h"
#include "platform/ui/CDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QString fromBytes(const std::string& s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

std::string toBytes(const QString& s)
{
    const QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// Qt's "Description (pattern pattern)" form, from which the dialog takes the patterns.
QStringList qtFilters(const std::vector<CFileDialog::FileType>& types)
{
    QStringList out;
    for (const auto& t : types) {
        QString patterns = fromBytes(t.patterns);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(fromBytes(t.description), patterns);
    }
    return out;
}

}  // namespace

std::optional<std::string> CFileDialog::runDialog(const Request& request)
{
    QWidget* owner = request.owner ? ui::qt::widgetOf(*request.owner) : nullptr;
    for (;;) {
        QFileDialog dlg(owner, fromBytes(request.title));
        dlg.setOption(QFileDialog::DontUseNativeDialog);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode((request.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        // The descriptions already say what they list: show them as they are, without the
        // pattern the toolkit would append a second time.
        dlg.setOption(QFileDialog::HideNameFilterDetails);
        dlg.setNameFilters(qtFilters(request.fileTypes));
        dlg.setDefaultSuffix(fromBytes(request.defaultSuffix));
        if (!request.initialFile.empty())
            dlg.selectFile(fromBytes(request.initialFile));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return std::nullopt;
        const QString path = dlg.selectedFiles().first();
        if ((request.flags & OFN_PATHMUSTEXIST) && !QFileInfo(path).absoluteDir().exists()) {
            QMessageBox::warning(&dlg, fromBytes(request.title),
                                 QStringLiteral("%1\nPath does not exist.\nCheck the path and try again.").arg(path));
            continue;
        }
        return toBytes(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    }
}
