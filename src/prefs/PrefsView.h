#pragma once

#include "system/AlertHost.h"

#include <QString>
#include <QVariant>

// What the preferences model needs from its window: one control per key, an
// example line per naming template, alerts, and closing. The desktop dialog
// implements it; the command line and tests use the model without one.
class PrefsView : public AlertHost {
public:
    // Shows a value on the key's control (a flag, a number or a text).
    virtual void showValue(const QString& key, const QVariant& value) = 0;
    // What the key's control holds now.
    virtual QVariant editedValue(const QString& key) const = 0;
    virtual void enableControl(const QString& key, bool enabled) = 0;
    // The rendered sample for the template stored under `templateKey`.
    virtual void showExample(const QString& templateKey, const QString& text) = 0;
    virtual void closeWindow() = 0;
};
