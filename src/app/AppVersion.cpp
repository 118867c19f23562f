#include "app/AppVersion.h"

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

#include <curl/curlver.h>
#include <taglib/taglib.h>

namespace AppVersion {

QString AppName() {
    return QStringLiteral("Trovix");
}

QString AppNameWithVersion() {
    return QStringLiteral("%1 v%2.%3")
        .arg(AppName())
        .arg(TROVIX_VERSION_MAJOR)
        .arg(TROVIX_VERSION_MINOR);
}

QString versionText() {
    return QStringLiteral("%1.%2.%3")
        .arg(TROVIX_VERSION_MAJOR)
        .arg(TROVIX_VERSION_MINOR)
        .arg(TROVIX_VERSION_PATCH);
}

int versionNumber() {
    return TROVIX_VERSION_MAJOR * 10000 + TROVIX_VERSION_MINOR * 100 + TROVIX_VERSION_PATCH;
}

QByteArray userAgent() {
    return (AppName() + QLatin1Char('/') + versionText()).toLatin1();
}

QStringList libraryNotices() {
    return {
        QStringLiteral("Qt %1, GNU Lesser General Public License v3")
            .arg(QString::fromLatin1(qVersion())),
        QStringLiteral("TagLib %1.%2.%3, GNU Lesser General Public License v2.1 or Mozilla Public "
                       "License v1.1")
            .arg(TAGLIB_MAJOR_VERSION)
            .arg(TAGLIB_MINOR_VERSION)
            .arg(TAGLIB_PATCH_VERSION),
        // The version built against: asking the library would load it (see web/CurlLibrary).
        QStringLiteral("libcurl %1, curl licence (MIT/X derivative)")
            .arg(QStringLiteral(LIBCURL_VERSION)),
    };
}

} // namespace AppVersion
