// A private CUPS scheduler with a PDF queue for the print tests: its own
// configuration, spool and state in a temporary folder, no system service.
// Jobs come out as PDF files in $HOME/PDF of the submitting user (the PDF
// backend's setting). CUPS_SERVER points this process, Qt's print support
// included, at the scheduler.
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace qova::test {

class PrintQueue {
public:
    static QString name() { return QStringLiteral("qova_pdf"); }

    // Starts the scheduler and adds the queue; false (see whyNot()) when it cannot run here.
    bool start() {
        const QString d = dir_.path();
        // Set even when the scheduler does not come up: no system scheduler is asked.
        qputenv("CUPS_SERVER", (d + "/run/cups.sock").toLocal8Bit());
        const QStringList sbin{"/usr/sbin", "/sbin"};
        const QString cupsd = QStandardPaths::findExecutable("cupsd", sbin);
        const QString lpadmin = QStandardPaths::findExecutable("lpadmin", sbin);
        const QString ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
        if (cupsd.isEmpty() || lpadmin.isEmpty() || !QFileInfo::exists(ppd))
            return fail("cups and printer-driver-cups-pdf are not installed");
        for (const char* sub : {"spool", "cache", "run", "log"}) QDir(d).mkpath(sub);
        write(d + "/cupsd.conf", "Listen " + d + "/run/cups.sock\nLogLevel warn\nDefaultAuthType None\n"
                                 "<Location />\n Order allow,deny\n Allow all\n</Location>\n"
                                 "<Policy default>\n <Limit All>\n  Order deny,allow\n </Limit>\n</Policy>\n");
        write(d + "/cups-files.conf", QString("RequestRoot %1/spool\nCacheDir %1/cache\nStateDir %1/run\n"
                                              "TempDir %1/spool\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n"
                                              "AccessLog %1/log/access_log\nErrorLog %1/log/error_log\n"
                                              "PageLog %1/log/page_log\nUser lp\nGroup lp\nSystemGroup lpadmin\n")
                                          .arg(d));
        QProcess::execute("chmod", {"-R", "a+rwx", d});  // the scheduler's user (lp) works here
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.start(cupsd, {"-f", "-c", d + "/cupsd.conf", "-s", d + "/cups-files.conf"});
        QElapsedTimer t;
        t.start();
        while (!QFileInfo::exists(d + "/run/cups.sock")) {
            if (server_.state() == QProcess::NotRunning || t.elapsed() > 10000)
                return fail("cupsd did not come up: " + QString::fromLocal8Bit(server_.readAll()).trimmed());
            QThread::msleep(20);
        }
        QProcess admin;
        admin.setProcessChannelMode(QProcess::MergedChannels);
        admin.start(lpadmin, {"-p", name(), "-E", "-v", "cups-pdf:/", "-P", ppd});
        if (!admin.waitForFinished(20000) || admin.exitCode() != 0)
            return fail("lpadmin failed: " + QString::fromLocal8Bit(admin.readAll()).trimmed());
        return ok_ = true;
    }
    ~PrintQueue() {
        server_.terminate();
        if (!server_.waitForFinished(5000)) server_.kill();
    }
    bool ok() const { return ok_; }
    QString whyNot() const { return why_; }

    // The PDF of the job whose title holds `token`, once it has stopped
    // growing; "" when none comes within a minute.
    static QString waitForJob(const QString& token) {
        const passwd* pw = getpwuid(getuid());
        const QDir out(QString::fromLocal8Bit(pw ? pw->pw_dir : "") + "/PDF");
        QElapsedTimer t;
        t.start();
        for (qint64 last = -1; t.elapsed() < 60000; QThread::msleep(200)) {
            const QFileInfoList f = out.entryInfoList({"*" + token + "*.pdf"}, QDir::Files);
            if (f.isEmpty()) continue;
            if (f[0].size() > 0 && f[0].size() == last) return f[0].filePath();
            last = f[0].size();
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
    QTemporaryDir dir_{QDir::tempPath() + "/qova-cups-XXXXXX"};
    QProcess server_;
    bool ok_ = false;
    QString why_;
};

}  // namespace qova::test
