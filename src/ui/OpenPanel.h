#pragma once

#include <QFileDialog>

// The File > Open... dialog: picks a music file, or a folder (an album) when
// Open is pressed with a folder selected; a double-click still enters the
// folder.
class OpenPanel : public QFileDialog {
    Q_OBJECT
public:
    explicit OpenPanel(QWidget* parent = nullptr);
    // The folder or file chosen, or null.
    QString chosenPath() const { return fChosen; }

public slots:
    void accept() override;

private:
    QString fChosen;
};
