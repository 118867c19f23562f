#pragma once

#include <QWidget>

class AppMenus;
class DropIcon;

// The main window, "Trovix": a drop target for album folders and music
// files. Its frame is remembered under "MainWindowPos".
class DropWindow : public QWidget {
    Q_OBJECT
public:
    explicit DropWindow(QWidget* parent = nullptr);
    DropIcon* dropIcon() const { return fDropIcon; }
    AppMenus* menus() const { return fMenus; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void saveFrame();

    DropIcon* fDropIcon;
    AppMenus* fMenus;
    bool fRestoring = false;
};
