#include "ui/DropWindow.h"

#include "app/Preferences.h"
#include "ui/AppMenus.h"
#include "ui/DropIcon.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QVBoxLayout>

DropWindow::DropWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Trovix"));
    setObjectName(QStringLiteral("dropWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    fDropIcon = new DropIcon(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(fDropIcon);
    // The same application commands as every document window.
    auto* bar = new QMenuBar(this);
    fMenus = new AppMenus(bar, this);
    fMenus->addHelpMenu();
    layout->setMenuBar(bar);
    fRestoring = true;
    const QByteArray frame = Prefs::value(QString::fromLatin1(Prefs::kMainWindowPos)).toByteArray();
    if (frame.isEmpty() || !restoreGeometry(frame)) resize(fDropIcon->sizeHint());
    fRestoring = false;
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
