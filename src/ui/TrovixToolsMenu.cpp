#include "ui/TrovixToolsMenu.h"

#include "app/InstalledItem.h"
#include "ui/SheetAlertHost.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

namespace {

// The file managers read their menu folders again by themselves, so there is
// nothing to restart: the user is only told what happened.
void report(QWidget* parent, const InstalledItem::Result& result, bool installed) {
    const Alert alert =
        !result.ok ? Alert{QStringLiteral("TrovixTools"), result.message, {}}
        : installed
            ? Alert{QStringLiteral("TrovixTools Installed"),
                    QStringLiteral("Dolphin, Nemo and GNOME Files now offer \"Tag with "
                                   "Trovix™...\" on folders and music files."),
                    {}}
            : Alert{QStringLiteral("TrovixTools Removed"),
                    QStringLiteral("The file managers no longer offer \"Tag with Trovix™...\"."),
                    {}};
    QMessageBox* box = SheetAlertHost::makeAlertBox(parent, alert, {});
    box->setIcon(result.ok ? QMessageBox::Information : QMessageBox::Warning);
    box->open();
}

} // namespace

void addTrovixToolsActions(QMenu* menu, QWidget* window) {
    QAction* install = menu->addAction(QStringLiteral("&Install TrovixTools"));
    QAction* remove = menu->addAction(QStringLiteral("&Remove TrovixTools"));
    const auto validate = [install, remove] {
        const InstalledItem::Status status = InstalledItem::trovixTools().status();
        install->setText(QLatin1Char('&') + InstalledItem::installTitle(status));
        install->setEnabled(InstalledItem::canInstall(status));
        remove->setEnabled(InstalledItem::canRemove(status));
    };
    QObject::connect(menu, &QMenu::aboutToShow, install, validate);
    validate();
    QObject::connect(install, &QAction::triggered, menu,
                     [window] { report(window, InstalledItem::trovixTools().install(), true); });
    QObject::connect(remove, &QAction::triggered, menu,
                     [window] { report(window, InstalledItem::trovixTools().remove(), false); });
}
