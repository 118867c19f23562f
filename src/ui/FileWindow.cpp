#include "ui/FileWindow.h"

#include "media/MusicFile.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

FileWindow::FileWindow(QWidget* parent) : DocumentWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Untitled"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* form = new QFormLayout;
    const std::pair<const char*, const char*> fields[] = {{"title", "Title:"},   {"artist", "Artist:"},
                                                          {"album", "Album:"},   {"year", "Year:"},
                                                          {"genre", "Genre:"},   {"track", "Track:"}};
    for (const auto& [name, label] : fields) {
        auto* edit = new QLineEdit(central);
        edit->setReadOnly(true);
        edit->setObjectName(QString::fromLatin1(name));
        form->addRow(tr(label), edit);
        fFields.append({QString::fromLatin1(name), edit});
    }
    layout->addLayout(form);
    fNotice = new QLabel(central);
    fNotice->setWordWrap(true);
    layout->addWidget(fNotice);
    layout->addStretch();
    setCentralWidget(central);
    resize(420, 260);
}

void FileWindow::setDocumentPath(const DropActionDict& request) {
    fDocPath = request.path;
    setWindowTitle(QFileInfo(fDocPath).fileName());
    const std::shared_ptr<MusicFile> file = MusicFile::newMusicFileWithPath(fDocPath);
    if (!file) {
        fNotice->setText(tr("This file is not a music file Trovix can read."));
        return;
    }
    file->getAllInterestingTags();
    const QStringList values{file->getTitle(),   file->getArtist(), file->getAlbum(),
                             file->getYearStr(), file->getGenre(),  file->getLongTrackStr()};
    for (int i = 0; i < fFields.size(); ++i) fFields[i].second->setText(values[i]);
    fNotice->setText(tr("Single files are shown read-only for now."));
}

QString FileWindow::fieldText(const QString& name) const {
    for (const auto& [fieldName, edit] : fFields)
        if (fieldName == name) return edit->text();
    return {};
}
