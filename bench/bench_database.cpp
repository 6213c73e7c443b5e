// The picture database through the real main window (offscreen): importing
// a directory of 2–5 megapixel photos with the Database menu's directory
// import, and walking the grid one record at a time with the down-arrow key.
// Beside them, measured in the same run on the same files:
//   decode+encode   each file decoded and encoded as a record stores it
//                   (24-bit JPEG, quality factor −4) through the engine's
//                   plain load and save, no window;
//   floor           the files' bytes written into an SQLite table in one
//                   transaction through Qt Sql (what storing them costs at
//                   least); the same with one transaction per file (what
//                   the import's promise — nothing half written — costs);
//   sqlite3         the floor again by the sqlite3 program (readfile()),
//                   when it is installed, as a check on the Qt Sql floor;
//   decode          each stored record's bytes decoded (the walk's floor
//                   when the picture was not decoded ahead).
//
//   bench_database [DIR] [N]   (DIR, /tmp/qova-bench/dbN by default, gets N
//                               photos (200) when it has fewer; all its
//                               JPEGs are imported)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "app/main_window.h"
#include "database/data_control.h"
#include "database/database.h"
#include "database/dir_select.h"
#include "engine/core/document.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/image_control.h"
#include "engine/picture_data.h"
#include "shell/file_lists.h"
#include "shell/ui_services.h"
#include "bench_support.h"

using namespace qova;

namespace {

using qova::bench::nowMs;

// Photo-like pictures (smooth shading, edges and sensor noise, so JPEG sizes
// and decode times are a camera's), 2 to 5 megapixels, 4:3.
void makePhotos(const QString& dir, int n) {
    QDir().mkpath(dir);
    std::mt19937 rng(11);
    for (int i = 0; i < n; ++i) {
        const QString path = QDir(dir).filePath(QString("photo%1.jpg").arg(i, 3, 10, QChar('0')));
        if (QFileInfo::exists(path)) continue;
        const double mp = 2.0 + 3.0 * (i % 7) / 6.0;
        const int w = int(std::sqrt(mp * 1e6 * 4 / 3)), h = w * 3 / 4;
        engine::Bitmap b = engine::Bitmap::create(w, h, 24);
        std::vector<float> sx(static_cast<size_t>(w)), cy(static_cast<size_t>(h));
        const float a = float(i) * 0.7f;
        for (int x = 0; x < w; ++x) sx[size_t(x)] = std::sin(float(x) * 0.004f + a);
        for (int y = 0; y < h; ++y) cy[size_t(y)] = std::cos(float(y) * 0.006f - a);
        std::normal_distribution<float> noise(0.f, 5.f);
        std::vector<float> noises(4096);
        for (float& v : noises) v = noise(rng);
        uint32_t k = uint32_t(i) * 2654435761u;
        for (int y = 0; y < h; ++y) {
            uint8_t* r = b.mutableRow(y);
            for (int x = 0; x < w; ++x) {
                const float stripes = ((x / 97 + y / 131) & 1) ? 20.f : -20.f;
                const float v = 128 + 80 * sx[size_t(x)] * cy[size_t(y)] + stripes;
                k = k * 1664525u + 1013904223u;
                const float nz = noises[k >> 20];
                r[x * 3] = uint8_t(std::clamp(v + nz, 0.f, 255.f));
                r[x * 3 + 1] = uint8_t(std::clamp(255 - v + nz, 0.f, 255.f));
                r[x * 3 + 2] = uint8_t(std::clamp(v * 0.5f + 60 + nz, 0.f, 255.f));
            }
        }
        bench::saveJpeg(b, path.toStdString(), 90);
    }
}

// The chooser gives the database path; questions are answered Yes.
class BenchUi : public shell::UiServices {
public:
    QString file;
    shell::MsgResult msgBox(const QString& prompt, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(prompt));
        return shell::MsgYes;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return file; }
    QString saveFileName(const QString&, const QString&, const QString&, bool) override { return file; }
    void quit() override {}
    bool chooseColour(uint32_t&, const QString&) override { return false; }
};


// The files' bytes into a new picture table through Qt Sql: in one
// transaction, or in one per file.
double floorMs(const QStringList& files, const QString& dbPath, bool transactionPerFile) {
    QFile::remove(dbPath);
    double ms = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "floor");
        db.setDatabaseName(dbPath);
        db.open();
        QSqlQuery(db).exec("CREATE TABLE people (who TEXT, photo BLOB)");
        const double t0 = nowMs();
        if (!transactionPerFile) db.transaction();
        {
            QSqlQuery q(db);
            q.prepare("INSERT INTO people (who, photo) VALUES (?, ?)");
            for (const QString& f : files) {
                QFile in(f);
                in.open(QIODevice::ReadOnly);
                if (transactionPerFile) db.transaction();
                q.addBindValue(f);
                q.addBindValue(in.readAll());
                if (!q.exec()) std::fprintf(stderr, "floor insert failed\n");
                if (transactionPerFile) db.commit();
            }
        }
        if (!transactionPerFile) db.commit();
        ms = nowMs() - t0;
        db.close();
    }
    QSqlDatabase::removeDatabase("floor");
    QFile::remove(dbPath);
    return ms;
}

// The same bytes by the sqlite3 program, one transaction; −1 without it.
double sqliteCliMs(const QStringList& files, const QString& dbPath) {
    const QString cli = QStandardPaths::findExecutable("sqlite3");
    if (cli.isEmpty()) return -1;
    QFile::remove(dbPath);
    QByteArray script = "CREATE TABLE people (who TEXT, photo BLOB);\nBEGIN;\n";
    for (QString f : files) {
        f.replace('\'', "''");
        script += "INSERT INTO people VALUES ('" + f.toUtf8() + "', readfile('" + f.toUtf8() + "'));\n";
    }
    script += "COMMIT;\n";
    QProcess p;
    const double t0 = nowMs();
    p.start(cli, {dbPath});
    p.waitForStarted();
    p.write(script);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    const double ms = nowMs() - t0;
    QFile::remove(dbPath);
    return p.exitCode() == 0 ? ms : -1;
}

// Each file decoded and encoded as a record stores it, through the engine's
// plain load and save.
double decodeEncodeMs(const QStringList& files, const QString& scratch) {
    double ms = 0;
    for (const QString& f : files) {
        const double t0 = nowMs();
        engine::Document d;
        engine::LoadRequest lr;
        lr.path = f.toStdString();
        lr.pageCount = 1;
        engine::loadFile(lr, d);
        engine::SaveRequest sr;
        sr.path = scratch.toStdString();
        sr.format = engine::kFmtJpeg;
        sr.bpp = 24;
        sr.quality = -4;
        engine::saveFile(d, sr);
        QFile out(scratch);
        out.open(QIODevice::ReadOnly);
        const QByteArray bytes = out.readAll();
        ms += nowMs() - t0;
        if (bytes.isEmpty()) std::fprintf(stderr, "encode of %s failed\n", qPrintable(f));
    }
    QFile::remove(scratch);
    return ms;
}

void keyDown(QWidget* w) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int n = argc > 2 ? std::atoi(argv[2]) : 200;
    const QString dir = argc > 1 ? QString(argv[1]) : QString("/tmp/qova-bench/db%1").arg(n);
    makePhotos(dir, n);
    // The import takes the whole directory: so do the floors.
    QStringList files;
    for (const QString& name : QDir(dir).entryList({"*.jpg"}, QDir::Files, QDir::Name)) files << QDir(dir).filePath(name);
    QTemporaryDir tmp;
    std::printf("%lld photos of 2-5 MP in %s\n", qlonglong(files.size()), qPrintable(dir));

    // The floors, before the window exists (same process, same allocator).
    const double codec = decodeEncodeMs(files, tmp.filePath("scratch.jpg"));
    const double floorOne = floorMs(files, tmp.filePath("floor.mdb"), false);
    const double floorEach = floorMs(files, tmp.filePath("floor.mdb"), true);
    const double cli = sqliteCliMs(files, tmp.filePath("cli.mdb"));

    auto ui = std::make_unique<BenchUi>();
    BenchUi* bui = ui.get();
    app::Form1 w(std::move(ui));
    w.Form_Load(QString());
    w.resize(1280, 900);
    w.show();
    QCoreApplication::processEvents();
    bui->file = tmp.filePath("people.mdb");
    w.action(shell::MenuId::mnuDatabaseCreate)->trigger();

    // The import, as the user runs it from the dialog: from OK to the grid
    // showing the last record.
    double import = 0;
    database::Database::setDirSelectHook([&](database::DirSelect& d) {
        d.Dir1->setPath(dir);
        d.Combo1->setEditText("JPG");
        d.Combo1_Click();
        const double t0 = nowMs();
        d.Command1->click();
        import = nowMs() - t0;
    });
    w.action(shell::MenuId::mnuDatabaseDir)->trigger();
    database::Database::setDirSelectHook(nullptr);

    QTableView* grid = w.controls().DBGrid1;
    engine::ImageControl* img = w.controls().Img1;
    const int rows = grid->model()->rowCount();
    if (rows != files.size()) std::fprintf(stderr, "imported %d of %lld files\n", rows, qlonglong(files.size()));
    const double per100 = 100.0 / double(std::max<qsizetype>(1, files.size())) / 1000.0;
    const double target = codec + floorOne;
    std::printf("import            %6.2f s per 100 records\n", import * per100);
    std::printf("decode+encode     %6.2f s per 100\n", codec * per100);
    std::printf("floor             %6.2f s per 100 (bytes into SQLite, one transaction)\n", floorOne * per100);
    std::printf("floor per record  %6.2f s per 100 (one transaction per file)\n", floorEach * per100);
    if (cli >= 0) std::printf("sqlite3 program   %6.2f s per 100 (readfile, one transaction)\n", cli * per100);
    std::printf("ratio import / (decode+encode+floor) = %.2f (target 1.5)\n", import / target);
    if (cli > 0) std::printf("ratio Qt Sql floor / sqlite3 program = %.2f\n", floorOne / cli);

    // The walk's floors: decoding every stored picture, and showing a
    // decoded picture in Img1 (the view fitted and painted) as any load
    // ends.
    double decode = 0, show = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "read");
        db.setDatabaseName(tmp.filePath("people.mdb"));
        db.open();
        QSqlQuery q(db);
        q.exec("SELECT photo FROM people ORDER BY who");
        while (q.next()) {
            const QByteArray b = q.value(0).toByteArray();
            const double t0 = nowMs();
            engine::Document d;
            engine::decodePicture(b, d);
            const double t1 = nowMs();
            img->setDataDocument(std::move(d));
            w.UpdateImageInfo();
            img->viewport()->repaint();
            const double t2 = nowMs();
            decode += t1 - t0;
            show += t2 - t1;
        }
    }
    QSqlDatabase::removeDatabase("read");
    const double perDecode = decode / std::max(1, rows), perShow = show / std::max(1, rows);

    // Walking the grid with the down-arrow key: from the key to the picture
    // painted. `pauseMs` is the time the user looks at each picture.
    auto walk = [&](int pauseMs, double& worst) {
        grid->setFocus();
        grid->selectionModel()->setCurrentIndex(grid->model()->index(0, 0), QItemSelectionModel::ClearAndSelect);
        QCoreApplication::processEvents();
        double total = 0;
        worst = 0;
        for (int r = 1; r < rows; ++r) {
            const double t0 = nowMs();
            keyDown(grid);
            img->viewport()->repaint();
            const double ms = nowMs() - t0;
            if (grid->currentIndex().row() != r) {
                std::fprintf(stderr, "walk stopped at %d\n", grid->currentIndex().row());
                break;
            }
            total += ms;
            worst = std::max(worst, ms);
            // The event loop runs between two key repeats at least once.
            QCoreApplication::processEvents();
            const double until = nowMs() + pauseMs;
            while (nowMs() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return total / std::max(1, rows - 1);
    };
    double worstPaused = 0, worstFast = 0;
    const double paused = walk(150, worstPaused);
    const double fast = walk(0, worstFast);
    std::printf("decode            %6.1f ms per stored picture\n", perDecode);
    std::printf("show              %6.1f ms per decoded picture put into Img1, fitted and painted\n", perShow);
    std::printf("grid walk         %6.1f ms per record shown, looking 150 ms at each (worst %.1f; target 30)\n",
                paused, worstPaused);
    std::printf("grid walk         %6.1f ms per record shown, key held down (worst %.1f)\n", fast, worstFast);
    std::printf("ratio walk / show = %.2f looking; walk / (decode+show) = %.2f key held down\n", paused / perShow,
                fast / (perDecode + perShow));
    return 0;
}
