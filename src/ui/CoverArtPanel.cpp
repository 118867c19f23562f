#include "ui/CoverArtPanel.h"

#include "art/AlbumArt.h"
#include "art/CoverScaling.h"
#include "pictures/QtPictureCodec.h"
#include "ui/AlbumArtIcon.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CoverArtPanel::CoverArtPanel(AlbumArt* art, QWidget* window) : QDialog(window), fArt(art) {
    setObjectName(QStringLiteral("coverArtPanel"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Cover Art"));
    fPaneImage = new AlbumArtIcon(this);
    fPaneImage->setMinimumSize(300, 300);
    fSource = new QLabel(this);
    fSize = new QLabel(this);
    fDisplaySize = new QLabel(this);
    auto* info = new QFormLayout;
    info->addRow(tr("Source:"), fSource);
    info->addRow(tr("Size:"), fSize);
    info->addRow(tr("Display size:"), fDisplaySize);
    fPaneImage->setAccessibleName(tr("Cover"));
    fNextImage = new QPushButton(tr("&Next"), this);
    fClear = new QPushButton(tr("C&lear"), this);
    fOK = new QPushButton(tr("&Close"), this);
    fOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fNextImage);
    buttons->addWidget(fClear);
    buttons->addStretch();
    buttons->addWidget(fOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fPaneImage, 1);
    layout->addLayout(info);
    layout->addLayout(buttons);

    connect(fNextImage, &QPushButton::clicked, this, [this] { fArt->next(); });
    connect(fClear, &QPushButton::clicked, this, [this] { fArt->clear(); });
    connect(fOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(fPaneImage, &AlbumArtIcon::imageDropped, this,
            [this](const QImage& image) { fArt->imageDropped(QtPictureCodec::fromImage(image)); });
    connect(fPaneImage, &AlbumArtIcon::fileDropped, this,
            [this](const QString& path) { fArt->fileDropped(path); });
    // Candidates are added on workers; the views follow on this thread.
    connect(fArt, &AlbumArt::changed, this, &CoverArtPanel::sync, Qt::QueuedConnection);
    resize(360, 440);
    sync();
}

void CoverArtPanel::sync() {
    fPaneImage->showCandidate(fArt->shownCandidate());
    fSource->setText(fArt->sourceText());
    fSize->setText(fArt->sizeText());
    fDisplaySize->setText(fArt->displaySizeText());
    fNextImage->setEnabled(fArt->nextEnabled());
}

void CoverArtPanel::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fArt->setPanelViewSize(fPaneImage->size());
}
