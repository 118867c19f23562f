#include "app/InstalledItem.h"

#include "system/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVersionNumber>

QString InstalledItem::commandFor(const QString& program) {
    const QString plain = QStringLiteral("trovix");
    if (program.isEmpty()) return plain;
    const QString found = QStandardPaths::findExecutable(plain);
    const QString self = QFileInfo(program).canonicalFilePath();
    if (!found.isEmpty() && QFileInfo(found).canonicalFilePath() == self) return plain;
    return self.isEmpty() ? QFileInfo(program).absoluteFilePath() : self;
}

QByteArray InstalledItem::withCommand(const QByteArray& text, const QString& command) {
    if (command == u"trovix") return text;
    // Desktop-entry Exec keys take double quotes with \ " ` $ escaped; the
    // shell script takes single quotes.
    QString quotedExec = command;
    for (const char* special : {"\\", "\"", "`", "$"})
        quotedExec.replace(QLatin1String(special), QLatin1String("\\") + QLatin1String(special));
    quotedExec = u'"' + quotedExec + u'"';
    QString quotedShell = command;
    quotedShell = u'\'' + quotedShell.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
    QString out = QString::fromUtf8(text);
    static const QRegularExpression exec(QStringLiteral("^Exec=trovix(?= )"),
                                         QRegularExpression::MultilineOption);
    static const QRegularExpression shell(QStringLiteral("^exec trovix(?= )"),
                                          QRegularExpression::MultilineOption);
    out.replace(exec, QStringLiteral("Exec=") + quotedExec);
    out.replace(shell, QStringLiteral("exec ") + quotedShell);
    return out.toUtf8();
}

InstalledItem InstalledItem::trovixTools(const QString& program) {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const auto entry = [&](const QString& name, const QString& folder, bool executable = false) {
        return Entry{resourcePath(QStringLiteral("tools/") + name),
                     QDir(dataHome).filePath(folder + QLatin1Char('/') + name), executable};
    };
    const QString running =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return InstalledItem(
        {
            // Dolphin runs a per-user service menu only when it is executable.
            entry(QStringLiteral("trovix-tag.desktop"), QStringLiteral("kio/servicemenus"), true),
            entry(QStringLiteral("trovix-tag.nemo_action"), QStringLiteral("nemo/actions")),
            entry(QStringLiteral("Tag with Trovix"), QStringLiteral("nautilus/scripts"), true),
        },
        commandFor(program.isEmpty() ? running : program));
}

QString InstalledItem::fileVersion(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    static const QRegularExpression versionLine(
        QStringLiteral("^#?\\s*X-Trovix-Version\\s*=\\s*(\\S+)\\s*$"),
        QRegularExpression::MultilineOption);
    // The line sits near the top; a foreign file may be large.
    const QRegularExpressionMatch match = versionLine.match(QString::fromUtf8(file.read(4096)));
    return match.hasMatch() ? match.captured(1) : QString();
}

InstalledItem::Status InstalledItem::status() const {
    int status = Empty;
    for (const Entry& e : fEntries) {
        if (e.source.isEmpty() || !QFileInfo::exists(e.source)) return Empty;
        const int answer = QFileInfo::exists(e.dest) ? Current : Missing;
        if (status == Empty)
            status = answer;
        else if (status != answer)
            status = Mixed;
    }
    if (status != Mixed && status != Current) return Status(status);
    for (const Entry& e : fEntries) {
        if (!QFileInfo::exists(e.dest)) continue;
        // A copy without a version line counts as the oldest.
        const QString installed = fileVersion(e.dest);
        const QVersionNumber ours = QVersionNumber::fromString(fileVersion(e.source));
        if (QVersionNumber::compare(ours, QVersionNumber::fromString(installed)) > 0)
            return Upgradable;
    }
    return Status(status);
}

QString InstalledItem::installTitle(Status status) {
    return status == Upgradable ? QStringLiteral("Upgrade TrovixTools")
                                : QStringLiteral("Install TrovixTools");
}

bool InstalledItem::canInstall(Status status) {
    return status == Missing || status == Mixed || status == Upgradable;
}

bool InstalledItem::canRemove(Status status) {
    return status == Mixed || status == Upgradable || status == Current;
}

InstalledItem::Result InstalledItem::install() const {
    QStringList failures;
    for (const Entry& e : fEntries) {
        QFile source(e.source);
        if (!source.open(QIODevice::ReadOnly)) {
            failures << e.source + QStringLiteral(": ") + source.errorString();
            continue;
        }
        if (QFileInfo::exists(e.dest) && fileVersion(e.dest).isNull()) {
            failures << e.dest + QStringLiteral(": not a Trovix file, left alone");
            continue;
        }
        QDir().mkpath(QFileInfo(e.dest).absolutePath());
        QSaveFile dest(e.dest);
        if (!dest.open(QIODevice::WriteOnly) ||
            dest.write(withCommand(source.readAll(), fCommand)) < 0 || !dest.commit()) {
            failures << e.dest + QStringLiteral(": ") + dest.errorString();
            continue;
        }
        if (e.executable)
            QFile::setPermissions(e.dest, QFile::permissions(e.dest) | QFile::ExeOwner |
                                              QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther);
    }
    return {failures.isEmpty(), failures.join(QLatin1Char('\n'))};
}

InstalledItem::Result InstalledItem::remove() const {
    QStringList failures;
    for (const Entry& e : fEntries) {
        if (!QFileInfo::exists(e.dest)) continue;
        if (fileVersion(e.dest).isNull()) {
            failures << e.dest + QStringLiteral(": not a Trovix file, left alone");
            continue;
        }
        QFile file(e.dest);
        if (!file.remove()) failures << e.dest + QStringLiteral(": ") + file.errorString();
    }
    return {failures.isEmpty(), failures.join(QLatin1Char('\n'))};
}
