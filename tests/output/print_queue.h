// A private CUPS scheduler with a PDF queue for the print tests: its own
// configuration, spool and state in a temporary folder, no system service.
// Jobs sent to it come out as PDF files in $HOME/PDF of the submitting user
// (the PDF backend's setting). CUPS_SERVER points this process (and Qt's
// print support in it) at the scheduler.
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace qova::test {

class PrintQueue {
public:
    static QString name() { return QStringLiteral("qova_pdf"); }

    // Starts the scheduler and adds the queue; false (see whyNot()) when it
    // cannot run here.
    bool start() {
        // Set even when the scheduler does not come up, so nothing here
        // talks to a system scheduler.
        dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/qova-cups-XXXXXX"));
        const QString d = dir_->path();
        qputenv("CUPS_SERVER", (d + QStringLiteral("/run/cups.sock")).toLocal8Bit());
        const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), {"/usr/sbin", "/sbin"});
        const QString lpadmin = QStandardPaths::findExecutable(QStringLiteral("lpadmin"), {"/usr/sbin", "/sbin"});
        const QString ppd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
        if (cupsd.isEmpty() || lpadmin.isEmpty()) return fail(QStringLiteral("cupsd or lpadmin is not installed"));
        if (!QFileInfo::exists(ppd)) return fail(QStringLiteral("the CUPS PDF printer (printer-driver-cups-pdf) is not installed"));
        for (const char* sub : {"spool", "cache", "run", "log"}) QDir(d).mkpath(QLatin1String(sub));
        write(d + "/cupsd.conf", "Listen " + d + "/run/cups.sock\nLogLevel warn\nDefaultAuthType None\n"
                                 "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                 "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
        write(d + "/cups-files.conf", "RequestRoot " + d + "/spool\nCacheDir " + d + "/cache\nStateDir " + d +
                                          "/run\nTempDir " + d + "/spool\nServerBin /usr/lib/cups\n"
                                          "DataDir /usr/share/cups\nAccessLog " + d + "/log/access_log\nErrorLog " +
                                          d + "/log/error_log\nPageLog " + d + "/log/page_log\n"
                                          "User lp\nGroup lp\nSystemGroup lpadmin\n");
        // The scheduler's user (lp) works in these folders.
        QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("a+rwx"), d});
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.start(cupsd, {"-f", "-c", d + "/cupsd.conf", "-s", d + "/cups-files.conf"});
        if (!server_.waitForStarted(5000)) return fail(QStringLiteral("cupsd did not start"));
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(d + "/run/cups.sock")) {
            if (server_.state() != QProcess::Running || t.elapsed() > 10000)
                return fail(QStringLiteral("cupsd did not come up: ") + QString::fromLocal8Bit(server_.readAll()).trimmed());
            QThread::msleep(20);
        }
        QProcess admin;
        admin.setProcessChannelMode(QProcess::MergedChannels);
        admin.start(lpadmin, {"-p", name(), "-E", "-v", "cups-pdf:/", "-P", ppd});
        if (!admin.waitForFinished(20000) || admin.exitCode() != 0)
            return fail(QStringLiteral("lpadmin failed: ") + QString::fromLocal8Bit(admin.readAll()).trimmed());
        ok_ = true;
        return true;
    }

    void stop() {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000)) server_.kill();
            server_.waitForFinished(2000);
        }
    }
    ~PrintQueue() { stop(); }

    bool ok() const { return ok_; }
    QString whyNot() const { return why_; }

    // Where the PDF backend puts this user's jobs.
    static QString outputDir() {
        const passwd* pw = getpwuid(getuid());
        return QString::fromLocal8Bit(pw ? pw->pw_dir : qgetenv("HOME").constData()) + QStringLiteral("/PDF");
    }
    // The PDF of the job whose title contains `token`, waiting for it to
    // appear and to stop growing; "" after `ms` without one.
    static QString waitForJob(const QString& token, int ms = 60000) {
        QElapsedTimer t;
        t.start();
        qint64 lastSize = -1;
        while (t.elapsed() < ms) {
            const QFileInfoList files = QDir(outputDir()).entryInfoList({"*" + token + "*.pdf"}, QDir::Files);
            if (!files.isEmpty()) {
                const qint64 size = files.first().size();
                if (size > 0 && size == lastSize) return files.first().filePath();
                lastSize = size;
            }
            QThread::msleep(200);
        }
        return {};
    }

private:
    bool fail(const QString& why) {
        why_ = why;
        return false;
    }
    static void write(const QString& path, const QString& text) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
    }

    std::unique_ptr<QTemporaryDir> dir_;
    QProcess server_;
    bool ok_ = false;
    QString why_;
};

}  // namespace qova::test
