// Installs QOVA into a fresh prefix and uses it the way a desktop does: the
// tree where menus, icon themes and software centres look, the menu entry's
// command started with a picture, Help from the installed tree, and the
// Debian package made from the same tree.
#include <algorithm>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kId = QStringLiteral(QOVA_APP_ID);

QStringList words(const char* list) { return QString::fromUtf8(list).split(QLatin1Char(' '), Qt::SkipEmptyParts); }

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        int timeoutMs = 120000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out: ") + program;
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The [Desktop Entry] group as key → value (localised keys keep their [ja]).
QMap<QString, QString> desktopEntry(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QMap<QString, QString> keys;
    bool inGroup = false;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) inGroup = line == QLatin1String("[Desktop Entry]");
        else if (inGroup && line.contains(QLatin1Char('='))) keys[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1);
    }
    return keys;
}

}  // namespace

class InstalledTest : public QObject {
    Q_OBJECT

    QTemporaryDir tmp_;
    QString prefix_;
    QString file(const QString& rel) const { return prefix_ + QLatin1Char('/') + rel; }

private slots:
    void initTestCase() {
        QVERIFY(tmp_.isValid());
        // A prefix with a space in it, as a user's home may have.
        prefix_ = tmp_.filePath(QStringLiteral("installed here"));
        const Run r = run(QStringLiteral(QOVA_CMAKE), {QStringLiteral("--install"), QStringLiteral(QOVA_BINARY_DIR),
                                                      QStringLiteral("--prefix"), prefix_});
        QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    }

    // Exactly the program and the files a desktop reads, nothing of the
    // build's tests or benchmarks.
    void installsTheDesktopTree() {
        QStringList expected = {
            QStringLiteral("bin/qova"),
            QStringLiteral("share/qova/QOVA.HLP"),
            QStringLiteral("share/qova/qova.svg"),
            QStringLiteral("share/applications/%1.desktop").arg(kId),
            QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kId),
            QStringLiteral("share/icons/hicolor/scalable/apps/qova.svg"),
        };
        for (const QString& size : words(QOVA_ICON_SIZES))
            expected << QStringLiteral("share/icons/hicolor/%1x%1/apps/qova.png").arg(size);
        QStringList found;
        QDirIterator it(prefix_, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) found << QDir(prefix_).relativeFilePath(it.next());
        expected.sort();
        found.sort();
        QCOMPARE(found, expected);
        QVERIFY(QFileInfo(file(QStringLiteral("bin/qova"))).isExecutable());
        // Each PNG is drawn at its size, not an empty or stretched canvas.
        for (const QString& size : words(QOVA_ICON_SIZES)) {
            const QImage icon(file(QStringLiteral("share/icons/hicolor/%1x%1/apps/qova.png").arg(size)));
            QCOMPARE(icon.size(), QSize(size.toInt(), size.toInt()));
            QVERIFY(qAlpha(icon.pixel(icon.width() / 2, icon.height() / 2)) == 255);
            QVERIFY(qAlpha(icon.pixel(0, 0)) < 255);  // the rounded corner lets the desktop through
        }
    }

    // The entry a file manager offers under "Open with": a command taking one
    // file, an icon the theme has, and MIME types the system knows by name.
    void desktopEntryOffersTheProgramForPictures() {
        const auto e = desktopEntry(file(QStringLiteral("share/applications/%1.desktop").arg(kId)));
        QCOMPARE(e.value(QStringLiteral("Exec")), QStringLiteral("qova %f"));
        QVERIFY(QFileInfo::exists(file(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(e.value(QStringLiteral("Icon"))))));
        QVERIFY(!e.value(QStringLiteral("Name[ja]")).isEmpty());
        QVERIFY(!e.value(QStringLiteral("Comment[ja]")).isEmpty());
        QVERIFY(!e.value(QStringLiteral("Comment")).isEmpty());
        const QStringList types = e.value(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QVERIFY(types.contains(QStringLiteral("image/jpeg")));
        QMimeDatabase db;
        for (const QString& t : types) {
            const QMimeType m = db.mimeTypeForName(t);
            QVERIFY2(m.isValid(), qPrintable(t + QStringLiteral(" is not a known MIME type")));
            // An alias is matched by nothing a file manager reports.
            QVERIFY2(m.name() == t, qPrintable(t + QStringLiteral(" is an alias of ") + m.name()));
        }
    }

    // Every sample picture the installed program shows is one the entry
    // offers it for; a picture it cannot show is not claimed.
    void offeredTypesAreTheOnesTheProgramShows() {
        const QDir samples(QStringLiteral(QOVA_SAMPLES_DIR));
        if (!samples.exists()) QSKIP("no sample pictures beside the checkout");
        const auto e = desktopEntry(file(QStringLiteral("share/applications/%1.desktop").arg(kId)));
        const QStringList offered = e.value(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QMimeDatabase db;
        QMap<QString, QStringList> filesByType;
        QStringList paths;
        QDirIterator it(samples.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) paths << it.next();
        paths.sort();
        for (const QString& f : paths) {
            const QMimeType m = db.mimeTypeForFile(f);
            // A file the system cannot name (MSP, GEM IMG, CALS) is offered to nobody.
            if (m.isDefault()) continue;
            filesByType[m.name()] << f;
        }
        QStringList shownButNotOffered, offeredButNotShown;
        for (auto it = filesByType.cbegin(); it != filesByType.cend(); ++it) {
            // Some samples are broken on purpose: one good file of a type is enough.
            const bool shown = std::any_of(it.value().cbegin(), it.value().cend(), [this](const QString& f) {
                return showPicture(f).out.startsWith(QStringLiteral("image 1"));
            });
            const bool isOffered = offered.contains(it.key());
            if (shown && !isOffered) shownButNotOffered << it.key() + QStringLiteral(" (") + it.value().join(QStringLiteral(", ")) + QLatin1Char(')');
            if (!shown && isOffered) offeredButNotShown << it.key() + QStringLiteral(" (") + it.value().join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        QVERIFY2(shownButNotOffered.isEmpty(), qPrintable(shownButNotOffered.join(QStringLiteral(", "))));
        QVERIFY2(offeredButNotShown.isEmpty(), qPrintable(offeredButNotShown.join(QStringLiteral(", "))));
    }

    // The menu entry's command with a picture in a folder with a space and
    // Japanese in its name: the window shows the picture, and Help opens the
    // guide from the installed tree.
    void menuCommandShowsThePictureAndHelp() {
        const QString dir = tmp_.filePath(QStringLiteral("My Pictures/写真"));
        QVERIFY(QDir().mkpath(dir));
        const QString picture = dir + QStringLiteral("/夏 の 海.png");
        const QColor colour(23, 181, 97);
        QImage image(160, 120, QImage::Format_RGB888);
        image.fill(colour);
        QVERIFY(image.save(picture));

        const QString grab = tmp_.filePath(QStringLiteral("window.png"));
        const Run r = showPicture(picture, grab);
        QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("image 1 | %1 Byte | 160 Width | 120 Height | 24 Bit").arg(QFileInfo(picture).size()));
        const QString guide = QFileInfo(file(QStringLiteral("share/qova/QOVA.HLP"))).canonicalFilePath();
        QCOMPARE(lines.value(1), QStringLiteral("help %1 | QOVA ﾍﾙﾌﾟ").arg(guide));

        // The picture is painted: its colour covers at least its own area.
        const QImage window(grab);
        QVERIFY(!window.isNull());
        int covered = 0;
        for (int y = 0; y < window.height(); ++y)
            for (int x = 0; x < window.width(); ++x)
                if (window.pixelColor(x, y).rgb() == colour.rgb()) ++covered;
        QVERIFY2(covered >= 160 * 120, qPrintable(QString::number(covered)));
    }

    // The package carries the same tree under /usr and depends on what the
    // program runs with, never on compilers or headers.
    void debianPackage() {
        if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty()) QSKIP("not a Debian system");
        const QString out = tmp_.filePath(QStringLiteral("deb"));
        const Run made = run(QStringLiteral(QOVA_CPACK), {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                                          QStringLiteral(QOVA_BINARY_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out});
        QVERIFY2(made.exitCode == 0, qPrintable(made.out + made.err));
        const QStringList debs = QDir(out).entryList({QStringLiteral("qova_*.deb")});
        QCOMPARE(debs.size(), 1);
        const QString deb = out + QLatin1Char('/') + debs.first();

        const Run fields = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Package"), QStringLiteral("Depends")});
        QCOMPARE(fields.exitCode, 0);
        QVERIFY(fields.out.startsWith(QStringLiteral("Package: qova\n")));
        const QString depends = fields.out.section(QStringLiteral("Depends: "), 1).trimmed();
        QStringList names;
        for (const QString& d : depends.split(QLatin1Char(','))) names << d.trimmed().section(QLatin1Char(' '), 0, 0);
        for (const QString& need : words(QOVA_RUNTIME_DEPENDS)) QVERIFY2(names.contains(need), qPrintable(need));
        for (const QString& lib : {QStringLiteral("libqt6widgets6"), QStringLiteral("libc6")})
            QVERIFY2(names.contains(lib), qPrintable(depends));
        for (const QString& n : names)
            QVERIFY2(!n.endsWith(QStringLiteral("-dev")) && !n.contains(QStringLiteral("cmake")) && n != QStringLiteral("build-essential"),
                     qPrintable(n));

        const Run listing = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
        QCOMPARE(listing.exitCode, 0);
        for (const QString& path : {QStringLiteral("./usr/bin/qova"), QStringLiteral("./usr/share/qova/QOVA.HLP"),
                                    QStringLiteral("./usr/share/applications/%1.desktop").arg(kId),
                                    QStringLiteral("./usr/share/metainfo/%1.metainfo.xml").arg(kId),
                                    QStringLiteral("./usr/share/icons/hicolor/48x48/apps/qova.png")})
            QVERIFY2(listing.out.contains(QLatin1Char(' ') + path + QLatin1Char('\n')), qPrintable(path));
    }

private:
    // Starts the installed program the way the menu entry does: its Exec
    // command found on PATH, %f replaced by the one file. It ends itself
    // after showing, reporting the status panels and the help file.
    Run showPicture(const QString& picture, const QString& grab = {}) {
        const auto e = desktopEntry(file(QStringLiteral("share/applications/%1.desktop").arg(kId)));
        QStringList command = e.value(QStringLiteral("Exec")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (QString& arg : command)
            if (arg == QLatin1String("%f")) arg = picture;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), file(QStringLiteral("bin")) + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QOVA_QUIT_AFTER_MS"), QStringLiteral("200"));
        if (!grab.isEmpty()) env.insert(QStringLiteral("QOVA_GRAB"), grab);
        const QString program = QStandardPaths::findExecutable(command.takeFirst(), {file(QStringLiteral("bin"))});
        if (program.isEmpty()) return {};
        return run(program, command, env, 60000);
    }
};

QTEST_GUILESS_MAIN(InstalledTest)
#include "test_installed.moc"
