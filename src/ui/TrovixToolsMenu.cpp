#include "ui/TrovixToolsMenu.h"

#include "app/InstalledItem.h"
#include "system/ProcessControl.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace {

// The file managers whose menu files TrovixTools holds, by desktop-file id.
const QStringList kFileManagers = {QStringLiteral("org.gnome.Nautilus"),
                                   QStringLiteral("org.kde.dolphin"), QStringLiteral("nemo")};

void reportAndOfferRestart(QWidget* parent, const InstalledItem::Result& result, bool installed) {
    if (!result.ok) {
        QMessageBox::warning(parent, QStringLiteral("TrovixTools"), result.message);
        return;
    }
    QMessageBox box(parent);
    box.setWindowTitle(installed ? QStringLiteral("TrovixTools installed")
                                 : QStringLiteral("TrovixTools removed"));
    box.setText(box.windowTitle());
    box.setInformativeText(
        installed
            ? QStringLiteral("TrovixTools has been installed. To make sure it operates correctly, "
                             "you must restart the file manager. Trovix can do it now, or you can "
                             "do it later. Restarting the file manager will not affect any work "
                             "you have in progress in Trovix.")
            : QStringLiteral("TrovixTools has been removed. To make sure it is really gone, you "
                             "must restart the file manager. Trovix can do it now, or you can do "
                             "it later. Restarting the file manager will not affect any work you "
                             "have in progress in Trovix."));
    QPushButton* later = box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    QPushButton* now = box.addButton(QStringLiteral("Now"), QMessageBox::AcceptRole);
    box.setDefaultButton(later);
    box.exec();
    if (box.clickedButton() == now) restartApps(kFileManagers);
}

} // namespace

void addTrovixToolsActions(QMenu* menu) {
    QAction* install = menu->addAction(QStringLiteral("Install TrovixTools"));
    QAction* remove = menu->addAction(QStringLiteral("Remove TrovixTools"));
    const auto validate = [install, remove] {
        const InstalledItem::Status status = InstalledItem::trovixTools().status();
        install->setText(InstalledItem::installTitle(status));
        install->setEnabled(InstalledItem::canInstall(status));
        remove->setEnabled(InstalledItem::canRemove(status));
    };
    QObject::connect(menu, &QMenu::aboutToShow, install, validate);
    validate();
    QObject::connect(install, &QAction::triggered, menu, [menu] {
        reportAndOfferRestart(menu->window(), InstalledItem::trovixTools().install(), true);
    });
    QObject::connect(remove, &QAction::triggered, menu, [menu] {
        reportAndOfferRestart(menu->window(), InstalledItem::trovixTools().remove(), false);
    });
}
