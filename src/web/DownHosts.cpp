#include "web/DownHosts.h"

#include <QUrl>

namespace {

thread_local DownHosts* tCurrent = nullptr;

} // namespace

DownHosts::DownHosts() : fOuter(tCurrent) {
    tCurrent = this;
}

DownHosts::~DownHosts() {
    tCurrent = fOuter;
}

QString DownHosts::hostKey(const QString& url) {
    const QUrl parsed(url);
    const int defaultPort = parsed.scheme() == QLatin1String("https") ? 443 : 80;
    return parsed.host().toLower() + QLatin1Char(':') + QString::number(parsed.port(defaultPort));
}

bool DownHosts::isDown(const QString& url) {
    return tCurrent && tCurrent->fDown.contains(hostKey(url));
}

void DownHosts::markDown(const QString& url) {
    if (tCurrent) tCurrent->fDown.insert(hostKey(url));
}
