#pragma once

#include <QDialog>

class AlbumArt;
class AlbumArtIcon;
class QLabel;
class QPushButton;

// The cover-art panel of a document: the shown candidate large, with Next
// (the following candidate), Clear (blank the views), Close, and the source,
// size and display-size texts. A window-modal sheet on the document window.
class CoverArtPanel : public QDialog {
    Q_OBJECT
public:
    CoverArtPanel(AlbumArt* art, QWidget* window);

    AlbumArtIcon* paneImage() const { return fPaneImage; }
    QPushButton* nextButton() const { return fNextImage; }
    QPushButton* clearButton() const { return fClear; }
    QLabel* sourceLabel() const { return fSource; }
    QLabel* sizeLabel() const { return fSize; }
    QLabel* displaySizeLabel() const { return fDisplaySize; }

    // Shows what the candidates object holds now.
    void sync();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    AlbumArt* fArt;
    AlbumArtIcon* fPaneImage;
    QPushButton* fNextImage;
    QPushButton* fClear;
    QPushButton* fOK;
    QLabel* fSource;
    QLabel* fSize;
    QLabel* fDisplaySize;
};
