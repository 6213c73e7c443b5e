#include "shell/paths.h"

#include <QDir>

namespace qova::shell {

QString joinPath(const QString& dir, const QString& name) {
    if (dir.isEmpty()) return name;
    const QChar last = dir.back();
    if (last == QLatin1Char('/') || last == QDir::separator()) return dir + name;
    return dir + QDir::separator() + name;
}

}  // namespace qova::shell
