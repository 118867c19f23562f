#pragma once

#include <QString>

// The program's name and version. The version comes from the build's
// project(VERSION) and nowhere else; the version check compares it as one
// integer, major × 10000 + minor × 100 + patch.
namespace AppVersion {

QString AppName();
// "Trovix v0.1": name, major and minor, as the alerts quote it.
QString AppNameWithVersion();
// "0.1.0".
QString versionText();
int versionNumber();
// The User-Agent of every web request: "Trovix/0.1.0".
QByteArray userAgent();
// The libraries the program is built on, one line each with version and
// licence, for the About box.
QStringList libraryNotices();

} // namespace AppVersion
