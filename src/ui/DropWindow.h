#pragma once

#include <QWidget>

class AppMenus;
class DropIcon;
class QPushButton;

// The main window, "Trovix": a drop target for album folders and music
// files, with an Open… button for the keyboard and a context menu of the
// open commands and the file-manager integration. Its frame is remembered
// under "MainWindowPos".
class DropWindow : public QWidget {
    Q_OBJECT
public:
    explicit DropWindow(QWidget* parent = nullptr);
    DropIcon* dropIcon() const { return fDropIcon; }
    AppMenus* menus() const { return fMenus; }
    QPushButton* openButton() const { return fOpenButton; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void saveFrame();

    DropIcon* fDropIcon;
    QPushButton* fOpenButton;
    AppMenus* fMenus;
    bool fRestoring = false;
};
