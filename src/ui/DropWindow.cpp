#include "ui/DropWindow.h"

#include "app/Preferences.h"
#include "ui/AppCommands.h"
#include "ui/AppMenus.h"
#include "ui/DropIcon.h"
#include "ui/TrovixToolsMenu.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

DropWindow::DropWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Trovix"));
    setObjectName(QStringLiteral("dropWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    fDropIcon = new DropIcon(this);
    fDropIcon->setAccessibleName(tr("Drop area"));
    fDropIcon->setAccessibleDescription(fDropIcon->toolTip());
    fOpenButton = new QPushButton(tr("&Open…"), this);
    fOpenButton->setObjectName(QStringLiteral("openButton"));
    fOpenButton->setDefault(true);
    connect(fOpenButton, &QPushButton::clicked, this,
            [this] { AppCommands::instance()->showOpenPanel(this); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fDropIcon, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(12, 0, 12, 12);
    buttons->addStretch();
    buttons->addWidget(fOpenButton);
    buttons->addStretch();
    layout->addLayout(buttons);
    // The same application commands as every document window.
    auto* bar = new QMenuBar(this);
    fMenus = new AppMenus(bar, this);
    fMenus->addHelpMenu();
    layout->setMenuBar(bar);
    fRestoring = true;
    const QByteArray frame = Prefs::value(QString::fromLatin1(Prefs::kMainWindowPos)).toByteArray();
    if (frame.isEmpty() || !restoreGeometry(frame)) resize(sizeHint());
    fRestoring = false;
}

void DropWindow::contextMenuEvent(QContextMenuEvent* event) {
    // The open commands and the file-manager integration, as in File.
    QMenu menu(this);
    AppCommands* controller = AppCommands::instance();
    menu.addAction(tr("&Open…"), this, [this, controller] { controller->showOpenPanel(this); });
    menu.addAction(tr("Open &Without Look-Up…"), this,
                   [this, controller] { controller->showOpenPanel(this, true); });
    menu.addSeparator();
    addTrovixToolsActions(&menu, this);
    menu.exec(event->globalPos());
}

void DropWindow::saveFrame() {
    if (fRestoring || !isVisible()) return;
    Prefs::setValue(QString::fromLatin1(Prefs::kMainWindowPos), saveGeometry());
}

void DropWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    saveFrame();
}

void DropWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    saveFrame();
}

void DropWindow::closeEvent(QCloseEvent* event) {
    saveFrame();
    QWidget::closeEvent(event);
}
