#include "platform/qt/CFileDialog.h"

#include "platform/IUserNotifier.h"
#include "platform/qt/CDialog.h"
#include "platform/qt/CWinApp.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

CFileDialog::Script& script()
{
    static CFileDialog::Script s;
    return s;
}

QString fromBytes(const std::string& s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

std::string toBytes(const QString& s)
{
    const QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

}  // namespace

CFileDialog::CFileDialog(bool, const char* defaultExt, const char* fileName, unsigned flags, const char* filter,
                         QWidget* parent)
    : parent_(parent)
{
    QString ext = QString::fromLatin1(defaultExt ? defaultExt : "");
    while (ext.startsWith(QLatin1Char('*')) || ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    request_.defaultSuffix = ext;
    request_.initialFile = fileName ? fileName : "";
    request_.flags = flags;
    request_.filters = toQtFilters(filter ? filter : "");
}

QStringList CFileDialog::toQtFilters(const std::string& filter)
{
    QStringList out;
    const QStringList parts = fromBytes(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i];
        QString patterns = parts[i + 1];
        if (desc.isEmpty() && patterns.isEmpty())
            break;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(desc, patterns);
    }
    return out;
}

void CFileDialog::setScript(Script s)
{
    script() = std::move(s);
}

int CFileDialog::DoModal()
{
    std::optional<std::string> chosen;
    if (script()) {
        chosen = script()(request_);
    } else {
        QWidget* owner = parent_ ? parent_ : AfxGetMainWnd();
        for (;;) {
            QFileDialog dlg(owner, fromBytes(request_.title));
            dlg.setOption(QFileDialog::DontUseNativeDialog);
            dlg.setAcceptMode(QFileDialog::AcceptOpen);
            dlg.setFileMode((request_.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
            // The descriptions already say what they list: show them as they are, without the
            // pattern the toolkit would append a second time.
            dlg.setOption(QFileDialog::HideNameFilterDetails);
            dlg.setNameFilters(request_.filters);
            dlg.setDefaultSuffix(request_.defaultSuffix);
            if (!request_.initialFile.empty())
                dlg.selectFile(fromBytes(request_.initialFile));
            if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
                break;
            const QString path = dlg.selectedFiles().first();
            if ((request_.flags & OFN_PATHMUSTEXIST) && !QFileInfo(path).absoluteDir().exists()) {
                QMessageBox::warning(&dlg, fromBytes(request_.title),
                                     QStringLiteral("%1\nPath does not exist.\nCheck the path and try again.").arg(path));
                continue;
            }
            chosen = toBytes(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
            break;
        }
    }
    CDialog::invalidateAll();
    if (!chosen)
        return platform::IDCANCEL;
    path_ = *chosen;
    return platform::IDOK;
}
