#pragma once

#include "system/AlertHost.h"

#include <functional>
#include <vector>

// An alert host that answers nothing and keeps every alert shown to it.
class RecordingAlerts : public AlertHost {
public:
    void showAlert(const Alert& alert, std::function<void(int)>) override {
        alerts.push_back(alert);
    }
    std::vector<Alert> alerts;
};
