#include "ui/OpenPanel.h"

#include "media/MusicExtensions.h"

#include <QFileInfo>

namespace {

QString musicFilesFilter() {
    QStringList patterns;
    for (const char* const* ext = kTrovixMusicExtensions; *ext; ++ext)
        patterns << QStringLiteral("*.") + QLatin1String(*ext);
    return OpenPanel::tr("Music files (%1)").arg(patterns.join(u' '));
}

} // namespace

OpenPanel::OpenPanel(QWidget* parent) : QFileDialog(parent, tr("Open Album Folder or Music File")) {
    setObjectName(QStringLiteral("openPanel"));
    // The platform dialog cannot take both a folder and a file.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters({musicFilesFilter(), tr("All files (*)")});
    setLabelText(QFileDialog::Accept, tr("Open"));
}

void OpenPanel::accept() {
    const QStringList chosen = selectedFiles();
    const QString path = chosen.isEmpty() ? QString() : chosen.first();
    if (QFileInfo(path).isDir() && QFileInfo(path) != QFileInfo(directory().absolutePath())) {
        fChosen = path;
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted) fChosen = selectedFiles().value(0);
}
