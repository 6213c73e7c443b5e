#include "shell/file_types.h"

#include <QStringList>

#include "engine/core/formats/format_table.h"
#include "shell/window_state.h"

namespace qova::shell {

namespace {

QString patternsOf(const char* extensions) {
    QStringList out;
    for (const QString& e : QString::fromUtf8(extensions).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        out << (e == QLatin1String("*") ? QStringLiteral("*.*") : QStringLiteral("*.") + e);
    return out.join(QLatin1Char(';'));
}

}  // namespace

QString startPattern() {
    QStringList out;
    for (const engine::FileKind& k : engine::fileKinds())
        if (k.listed) out << QStringLiteral("*.") + QLatin1String(k.extension);
    return out.join(QLatin1Char(';'));
}

void fillFormatTable(WindowState& s) {
    const auto& rows = engine::openDialogRows();
    for (size_t row = 0; row < s.FormatName.size(); ++row) {
        const bool used = row < rows.size();
        s.FormatName[row] = used ? QString::fromUtf8(rows[row].name) : QString();
        s.FormatPattern[row] = used ? patternsOf(rows[row].extensions) : QString();
    }
}

QString openFilter(const WindowState& s) {
    QString filter;
    for (int row = 0; row <= 21; ++row)
        filter += s.FormatName[size_t(row)] + QLatin1Char('|') + s.FormatPattern[size_t(row)] + QLatin1Char('|');
    return filter;
}

bool loadsOnClick(const QString& fileName) {
    const QString tail = fileName.right(4).toUpper();
    for (const engine::FileKind& k : engine::fileKinds())
        if (k.loadsOnClick && (QStringLiteral(".") + QLatin1String(k.extension)).right(4).toUpper() == tail) return true;
    return false;
}

}  // namespace qova::shell
