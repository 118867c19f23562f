#pragma once

// Runs the built trovix-cli in a private environment: its own settings folder
// and music folder (so backups land in the test's temporary folder), no
// terminal.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

class CliEnv {
public:
    CliEnv() {
        QDir().mkpath(config());
        QDir().mkpath(music());
        QFile dirs(config() + "/user-dirs.dirs");
        if (dirs.open(QIODevice::WriteOnly))
            dirs.write("XDG_MUSIC_DIR=\"" + QFile::encodeName(music()) + "\"\n");
    }
    QString root() const { return fRoot.path(); }
    QString config() const { return fRoot.path() + "/config"; }
    QString music() const { return fRoot.path() + "/Music"; }
    QString backups() const { return music() + "/Trovix Backups"; }

    CliResult run(const QStringList& args, int timeoutMs = 120000) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config());
        env.insert("HOME", fRoot.path());
        env.insert("NO_COLOR", "1");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TROVIX_CLI_PATH), args);
        CliResult r;
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "trovix-cli did not finish: " << args.join(' ').toStdString();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

private:
    QTemporaryDir fRoot;
};
