#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

class QTextStream;

namespace PrefsCommand {

// The typed value of a preference from its text: booleans from YES/NO (also
// true/false, 1/0), integers checked; an unknown key or a bad value gives an
// invalid variant and the reason.
QVariant valueFromText(const QString& key, const QString& text, QString* error);

// The stored form of a value as the user types it back.
QString textOf(const QString& key, const QVariant& value);

// --set: overrides for this run, never stored.
bool applyOverrides(const QList<QPair<QString, QString>>& overrides, QString* error);

// "prefs": every key with its value; "prefs KEY VALUE": stores one.
// Returns the exit status.
int run(bool store, const QString& key, const QString& value, QTextStream& out, QTextStream& err);

// "prefs --check": the naming-template checks of the preferences window's
// OK on the stored settings. Prints the alert OK would show, or that the
// templates pass; 1 when OK would stop at an alert, else 0.
int check(QTextStream& out);

} // namespace PrefsCommand
