#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// An alert the user must see: a title, a message and one to three buttons.
struct Alert {
    QString title;
    QString message;
    QStringList buttons; // first is the default
};

// Where documents and their records send alerts. The window shows a sheet;
// the command line prints it and answers; tests record it. The response gets
// the index of the chosen button (0 = first).
class AlertHost {
public:
    virtual ~AlertHost() = default;
    virtual void showAlert(const Alert& alert, std::function<void(int button)> response = {}) = 0;
};
