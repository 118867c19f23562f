#pragma once

#include "system/AlertHost.h"

#include <functional>
#include <utility>

// Takes the move failures a record reports, so they join the save's one
// list of failures; every other alert (a duplicate name) goes on to the user.
class RenameAlerts : public AlertHost {
public:
    explicit RenameAlerts(std::function<void(const Alert&)> forward)
        : fForward(std::move(forward)) {}
    void showAlert(const Alert& alert, std::function<void(int)>) override {
        if (alert.title == QLatin1String("Could Not Rename Track"))
            fLastFailure = alert.message;
        else
            fForward(alert);
    }
    // The reason of the last failure, cleared by reading.
    QString takeFailure() { return std::exchange(fLastFailure, QString()); }

private:
    std::function<void(const Alert&)> fForward;
    QString fLastFailure;
};
