#pragma once

#include "system/AlertHost.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

// Shows alerts as window-modal message boxes on a window, with the alert's
// title and message as given. Each button gets the role its words name
// (accept, reject, destructive, yes, no, else action), so the desktop's
// style lays them out and Escape presses the reject or no button (or the
// only one); the first is the default. The response runs on the GUI thread
// with the chosen button's index in the alert. Callable from any thread.
class SheetAlertHost : public AlertHost {
public:
    explicit SheetAlertHost(QWidget* window) : fWindow(window) {}

    void showAlert(const Alert& alert, std::function<void(int button)> response = {}) override;

    // The role of a button by its words.
    static QMessageBox::ButtonRole roleOf(const QString& button);
    // Builds the box without showing it (tests look at it).
    static QMessageBox* makeAlertBox(QWidget* window, const Alert& alert,
                                     std::function<void(int button)> response);

private:
    QPointer<QWidget> fWindow;
};
