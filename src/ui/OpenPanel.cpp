#include "ui/OpenPanel.h"

#include "app/RecentDocuments.h"
#include "media/MusicExtensions.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

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
    // The filter's name alone: the list of kinds does not fit its box.
    setOption(QFileDialog::HideNameFilterDetails);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters({musicFilesFilter(), tr("All files (*)")});
    setLabelText(QFileDialog::Accept, tr("&Open"));
    const QString last = RecentDocuments::list().value(0);
    setDirectory(startFolder());
    if (!last.isEmpty()) selectFile(last);
    // The dialog greys Open out while nothing is selected; here Open then
    // opens the folder shown, so it stays usable.
    if (auto* box = findChild<QDialogButtonBox*>()) {
        fOpenButton = box->button(QDialogButtonBox::Open);
        if (fOpenButton) {
            fOpenButton->installEventFilter(this);
            fOpenButton->setEnabled(true);
        }
    }
}

QString OpenPanel::startFolder() {
    const QString last = RecentDocuments::list().value(0);
    if (!last.isEmpty()) return QFileInfo(last).absolutePath();
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return music;
    return QDir::homePath();
}

bool OpenPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fOpenButton && event->type() == QEvent::EnabledChange &&
        !fOpenButton->isEnabled())
        QTimer::singleShot(0, fOpenButton, [button = fOpenButton] { button->setEnabled(true); });
    return QFileDialog::eventFilter(watched, event);
}

void OpenPanel::accept() {
    const QString shown = directory().absolutePath();
    const QStringList chosen = selectedFiles();
    const QString path = chosen.isEmpty() ? shown : chosen.first();
    // A folder selected, or none inside the one shown: that folder is the album.
    if (QFileInfo(path).isDir()) {
        fChosen = QDir::cleanPath(path);
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
    if (result() == QDialog::Accepted) fChosen = selectedFiles().value(0);
}
