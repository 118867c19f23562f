#include "ui/OpenPanel.h"

#include <QFileInfo>

OpenPanel::OpenPanel(QWidget* parent) : QFileDialog(parent, tr("Open Album Folder or Music File")) {
    setObjectName(QStringLiteral("openPanel"));
    // The platform dialog cannot take both a folder and a file.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters({tr("Music files (*.mp3 *.m4a *.m4p)"), tr("All files (*)")});
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
