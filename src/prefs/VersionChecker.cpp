#include "prefs/VersionChecker.h"

#include "app/AppVersion.h"
#include "app/Preferences.h"
#include "web/GrabWebPage.h"
#include "web/WebHelpers.h"

#include <QDateTime>
#include <QStringList>

#include <thread>

namespace {
constexpr qint64 kSecondsBetweenChecks = 86400;
constexpr int kFetchTimeLimitSecs = 30;
} // namespace

std::optional<int> VersionChecker::versionIn(const QString& page, const QString& appName) {
    // A whole name field, so "TrovixTools" never answers for "Trovix".
    for (const QString& line : page.split(QLatin1Char('\n'))) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab < 0 || line.left(tab).trimmed() != appName) continue;
        const QString rest = line.mid(tab + 1).trimmed();
        qsizetype digits = 0;
        while (digits < rest.size() && rest.at(digits).isDigit())
            ++digits;
        bool ok = false;
        const int n = rest.left(digits).toInt(&ok);
        if (!ok) return std::nullopt;
        return n;
    }
    return std::nullopt;
}

bool VersionChecker::checkDue(qint64 nowSecs) {
    const QVariant never = Prefs::value(QString::fromLatin1(Prefs::kNeverCheck));
    if (never.isValid() && never.toInt() == AppVersion::versionNumber()) return false;
    const QVariant last = Prefs::value(QString::fromLatin1(Prefs::kLastVersionCheck));
    // A time in the future (a clock set back) does not silence the check.
    const qint64 since = last.isValid() ? nowSecs - last.toLongLong() : -1;
    if (since >= 0 && since <= kSecondsBetweenChecks) return false;
    return true;
}

VersionChecker* VersionChecker::CheckForNewVersion(AlertHost* alerts, QObject* parent) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (!checkDue(now)) return nullptr;
    Prefs::setValue(QString::fromLatin1(Prefs::kLastVersionCheck), now);
    auto* checker = new VersionChecker(alerts, parent);
    checker->start();
    return checker;
}

VersionChecker::VersionChecker(AlertHost* alerts, QObject* parent)
    : QObject(parent), fAppName(AppVersion::AppName()), fAlerts(alerts) {
    fTimer.setInterval(1000);
    connect(&fTimer, &QTimer::timeout, this, &VersionChecker::poll);
}

void VersionChecker::start() {
    std::shared_ptr<Shared> shared = fShared;
    const QString appName = fAppName;
    QString url = Prefs::stringValue(QString::fromLatin1(Prefs::kVersionsURL));
    std::thread([shared, appName, url]() mutable {
        const std::optional<QString> page = GrabWebPage(url, nullptr, kFetchTimeLimitSecs, nullptr);
        const std::optional<int> latest = page ? versionIn(*page, appName) : std::nullopt;
        shared->status = latest && *latest > AppVersion::versionNumber() ? kNewer : kNothing;
    }).detach();
    fTimer.start();
}

Alert VersionChecker::newVersionAlert(const QString& appName) {
    return {QStringLiteral("A new version of %1 is available!").arg(appName),
            QStringLiteral("Do you want to go visit the %1 Home Page? If you select \"Later\", "
                           "this message will come up again in 24 hours.")
                .arg(appName),
            {QStringLiteral("OK"), QStringLiteral("Never"), QStringLiteral("Later")}};
}

void VersionChecker::respond(int button) {
    if (button == 0)
        OpenURLInBrowserQuiet(Prefs::stringValue(QString::fromLatin1(Prefs::kHomePageURL)));
    else if (button == 1)
        Prefs::setValue(QString::fromLatin1(Prefs::kNeverCheck), AppVersion::versionNumber());
}

void VersionChecker::poll() {
    const Status s = status();
    if (s == kRunning) return;
    fTimer.stop();
    if (s == kNewer && fAlerts) {
        fAlerts->showAlert(newVersionAlert(fAppName), [this, s](int button) {
            respond(button);
            emit finished(s);
        });
        return;
    }
    emit finished(s);
}

#include "moc_VersionChecker.cpp"
