#pragma once

#include <QFileDialog>

class QPushButton;

// The File > Open… dialog: picks a music file, or a folder (an album) when
// Open is pressed with a folder selected or with nothing selected inside the
// folder shown; a double-click still enters a folder. It starts in the folder
// of the last document opened, else the user's music folder.
class OpenPanel : public QFileDialog {
    Q_OBJECT
public:
    explicit OpenPanel(QWidget* parent = nullptr);
    // The folder or file chosen, or null.
    QString chosenPath() const { return fChosen; }
    // Where the dialog starts.
    static QString startFolder();

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString fChosen;
    QPushButton* fOpenButton = nullptr;
};
