#include "ui/SheetAlertHost.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

QMessageBox* SheetAlertHost::makeAlertBox(QWidget* window, const Alert& alert,
                                          std::function<void(int)> response) {
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(alert.title);
    box->setText(QStringLiteral("<b>%1</b>").arg(alert.title.toHtmlEscaped()));
    box->setInformativeText(alert.message);
    box->setObjectName(QStringLiteral("alertSheet"));
    const QStringList buttons = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")}
                                                        : alert.buttons;
    QList<QAbstractButton*> made;
    for (int i = 0; i < buttons.size(); ++i) {
        // One role for every button keeps them in the alert's order.
        QPushButton* b = box->addButton(buttons[i], QMessageBox::ActionRole);
        made.append(b);
        if (i == 0) box->setDefaultButton(b);
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, made, response](int) {
        const int index = made.indexOf(box->clickedButton());
        if (response) response(index < 0 ? 0 : index);
    });
    return box;
}

void SheetAlertHost::showAlert(const Alert& alert, std::function<void(int)> response) {
    QPointer<QWidget> window = fWindow;
    auto show = [window, alert, response] {
        QMessageBox* box = makeAlertBox(window, alert, response);
        box->open();
    };
    if (QThread::currentThread() == qApp->thread())
        show();
    else
        QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
}
