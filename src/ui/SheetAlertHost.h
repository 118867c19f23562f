#pragma once

#include "system/AlertHost.h"

#include <QPointer>
#include <QWidget>

class QMessageBox;

// Shows alerts as window-modal message boxes on a window, with the alert's
// buttons in order (the first is the default) and its title and message as
// given. The response runs on the GUI thread with the chosen button's index.
// Callable from any thread.
class SheetAlertHost : public AlertHost {
public:
    explicit SheetAlertHost(QWidget* window) : fWindow(window) {}

    void showAlert(const Alert& alert, std::function<void(int button)> response = {}) override;

    // Builds the box without showing it (tests look at it).
    static QMessageBox* makeAlertBox(QWidget* window, const Alert& alert,
                                     std::function<void(int button)> response);

private:
    QPointer<QWidget> fWindow;
};
