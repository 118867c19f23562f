#include "ui/SheetAlertHost.h"

#include <QApplication>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

QMessageBox::ButtonRole SheetAlertHost::roleOf(const QString& button) {
    static const QHash<QString, QMessageBox::ButtonRole> roles{
        {QStringLiteral("OK"), QMessageBox::AcceptRole},
        {QStringLiteral("Save"), QMessageBox::AcceptRole},
        {QStringLiteral("Save Others"), QMessageBox::AcceptRole},
        {QStringLiteral("Yes"), QMessageBox::YesRole},
        {QStringLiteral("No"), QMessageBox::NoRole},
        {QStringLiteral("Cancel"), QMessageBox::RejectRole},
        {QStringLiteral("Later"), QMessageBox::RejectRole},
        {QStringLiteral("Don't Save"), QMessageBox::DestructiveRole},
    };
    return roles.value(button, QMessageBox::ActionRole);
}

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
    QAbstractButton* escape = nullptr;
    for (int i = 0; i < buttons.size(); ++i) {
        // The role places the button where the desktop puts it.
        const QMessageBox::ButtonRole role = roleOf(buttons[i]);
        QPushButton* b = box->addButton(buttons[i], role);
        made.append(b);
        if (i == 0) box->setDefaultButton(b);
        if (!escape && (role == QMessageBox::RejectRole || role == QMessageBox::NoRole)) escape = b;
    }
    if (!escape && made.size() == 1) escape = made.first();
    if (escape) box->setEscapeButton(escape);
    QObject::connect(box, &QMessageBox::finished, box, [box, made, response](int) {
        // Closed without a button (the window manager's close): the escape
        // button's answer, never the default's.
        QAbstractButton* chosen = box->clickedButton();
        if (!chosen) chosen = box->escapeButton();
        const int index = made.indexOf(chosen);
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
