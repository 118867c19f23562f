#include "system/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString executableDir() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    // No application object yet (early start-up, benchmarks): ask the kernel.
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString target = self.symLinkTarget();
    return target.isEmpty() ? QString() : QFileInfo(target).absolutePath();
}

bool isFile(const QString& dir, const QString& fileName, QString* path) {
    if (dir.isEmpty()) return false;
    const QString candidate = QDir::cleanPath(QDir(dir).filePath(fileName));
    if (!QFileInfo(candidate).isFile()) return false;
    *path = candidate;
    return true;
}

} // namespace

QString resourcePath(const QString& fileName) {
    if (fileName.isEmpty()) return QString();
    QString path;
    if (isFile(qEnvironmentVariable("TROVIX_RESOURCE_DIR"), fileName, &path)) return path;
    const QString exeDir = executableDir();
    if (!exeDir.isEmpty() &&
        isFile(QDir(exeDir).filePath(QStringLiteral("../share/trovix")), fileName, &path))
        return path;
#ifdef TROVIX_BUILD_RESOURCE_DIR
    if (isFile(QStringLiteral(TROVIX_BUILD_RESOURCE_DIR), fileName, &path)) return path;
#endif
#ifdef TROVIX_INSTALL_RESOURCE_DIR
    if (isFile(QStringLiteral(TROVIX_INSTALL_RESOURCE_DIR), fileName, &path)) return path;
#endif
    return QString();
}
