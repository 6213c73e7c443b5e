// The engine's open and save dialogs as the program drives them: settings
// in, choices out through the properties, Cancel raising 20150.
#include <QCheckBox>
#include <QDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/dialogs/open_dialog.h"
#include "engine/dialogs/save_dialog.h"
#include "engine/engine_dialog.h"
#include "engine/engine_error.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

// Presses OK the way a user would, so the dialog's own checks run.
bool pressOk(QDialog& d) {
    d.accept();
    return d.result() == QDialog::Accepted;
}

QString makeTiff(QTemporaryDir& dir, int pages) {
    Document d;
    for (int i = 0; i < pages; ++i) d.frames.push_back(Frame{qova::test::madeImage(30, 20, 24, unsigned(i))});
    return qova::test::saveFixture(d, dir.filePath("pages.tif"), kFmtTiffLzw);
}

}  // namespace

class TestEngineDialog : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { EngineDialog::setAnswerHook({}); }

    void filterTextBecomesRows() {
        const auto rows = EngineDialog::parseFilter("すべてのﾌｧｲﾙ|*.*|JPG|*.jpg;*.jff;*.jtf|");
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].first, QString("JPG"));
        QCOMPARE(rows[1].second, (QStringList{"*.jpg", "*.jff", "*.jtf"}));
    }

    void openReturnsFilePageAndOption() {
        QTemporaryDir dir;
        const QString tif = makeTiff(dir, 3);
        EngineDialog dlg;
        dlg.filter = "TIFF|*.tif|";
        dlg.title = "ﾌｧｲﾙを開く";
        EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind kind) {
            if (kind != EngineDialog::Kind::Open) return false;
            qobject_cast<OpenDialog*>(&d)->selectFile(tif);
            auto* page = d.findChild<QSpinBox*>("Page");
            // The chooser offers exactly the file's pages.
            if (!page || page->maximum() != 3 || !page->isEnabled()) return false;
            page->setValue(3);
            d.findChild<QCheckBox*>("ReduceLarge")->setChecked(true);
            return pressOk(d);
        });
        dlg.showOpen(nullptr);
        QCOMPARE(dlg.fileName, tif);
        QCOMPARE(dlg.page, 2);
        QCOMPARE(dlg.loadOption, 1);
    }

    void openCancelRaises20150AndKeepsOldChoice() {
        EngineDialog dlg;
        dlg.fileName = "/old/choice.jpg";
        EngineDialog::setAnswerHook([](QDialog&, EngineDialog::Kind) { return false; });
        try {
            dlg.showOpen(nullptr);
            QFAIL("cancel must raise");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), 20150);
        }
        QCOMPARE(dlg.fileName, QString("/old/choice.jpg"));
    }

    void openPreviewReportsUnreadableFiles() {
        QTemporaryDir dir;
        QFile f(dir.filePath("broken.jpg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8\xFF garbage");
        f.close();
        EngineDialog dlg;
        QString info;
        EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind) {
            qobject_cast<OpenDialog*>(&d)->selectFile(f.fileName());
            info = d.findChild<QLabel*>("FileInfo")->text();
            return pressOk(d);
        });
        dlg.showOpen(nullptr);  // the dialog still hands the name on; the load reports the error
        QVERIFY(info.contains("200"));
        QCOMPARE(dlg.fileName, f.fileName());
    }

    // Each format offers only the depths it writes; quality and stamp follow it.
    void saveOffersWhatEachFormatWrites() {
        QTemporaryDir dir;
        EngineDialog dlg;
        dlg.fileName = dir.filePath("out.jpg");
        QStringList g4Bits;
        bool pngStamp = true, jpegQuality = false;
        EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind) {
            auto* format = d.findChild<QComboBox*>("Format");
            auto* bits = d.findChild<QComboBox*>("Bits");
            format->setCurrentIndex(format->findData(int(kFmtTiffG4)));
            for (int i = 0; i < bits->count(); ++i) g4Bits << bits->itemText(i);
            format->setCurrentIndex(format->findData(int(kFmtPng)));
            pngStamp = d.findChild<QCheckBox*>("Stamp")->isEnabled();
            format->setCurrentIndex(format->findData(int(kFmtJpeg)));
            jpegQuality = d.findChild<QSpinBox*>("Quality")->isEnabled();
            d.findChild<QSpinBox*>("Quality")->setValue(40);
            d.findChild<QCheckBox*>("Stamp")->setChecked(true);
            d.findChild<QSpinBox*>("StampWidth")->setValue(64);
            bits->setCurrentIndex(bits->findData(8));
            return pressOk(d);
        });
        dlg.showSave(nullptr);
        QCOMPARE(g4Bits, QStringList{"1"});
        QVERIFY(!pngStamp);
        QVERIFY(jpegQuality);
        QCOMPARE(dlg.format, int(kFmtJpeg));
        QCOMPARE(dlg.bits, 8);
        QCOMPARE(dlg.quality, 40);
        QVERIFY(dlg.stamp);
        QCOMPARE(dlg.stampWidth, 64);
        QCOMPARE(dlg.fileName, dir.filePath("out.jpg"));
    }

    void saveNameFollowsFormatAndOverwriteIsAsked() {
        QTemporaryDir dir;
        QFile existing(dir.filePath("pic.png"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        EngineDialog dlg;
        dlg.fileName = dir.filePath("pic.jpg");
        int asked = 0;
        bool firstTry = true;
        EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind) {
            auto* format = d.findChild<QComboBox*>("Format");
            format->setCurrentIndex(format->findData(int(kFmtPng)));
            // Refuse the first overwrite question: the dialog stays open.
            firstTry = !pressOkWithAnswer(d, false, asked);
            return pressOkWithAnswer(d, true, asked);
        });
        dlg.showSave(nullptr);
        QVERIFY(firstTry);
        QCOMPARE(asked, 2);
        QCOMPARE(dlg.fileName, dir.filePath("pic.png"));
        QCOMPARE(dlg.format, int(kFmtPng));
        QCOMPARE(dlg.quality, 0);
    }

    // A start name of another type (a conversion's source) gets the chosen
    // format's extension; JPEG's other extensions stay.
    void startNameTakesTheFormatsExtension() {
        QTemporaryDir dir;
        EngineDialog dlg;
        dlg.format = kFmtPng;
        QString shownName;
        EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind) {
            shownName = d.findChild<QLineEdit*>("FileName")->text();
            return pressOk(d);
        });
        dlg.fileName = dir.filePath("in.gif");
        dlg.showSave(nullptr);
        QCOMPARE(shownName, QString("in.png"));
        QCOMPARE(dlg.fileName, dir.filePath("in.png"));
        dlg.format = kFmtJpeg;
        dlg.fileName = dir.filePath("scan.jpe");
        dlg.showSave(nullptr);
        QCOMPARE(shownName, QString("scan.jpe"));
    }

    // Adding pages to a TIFF keeps it, so nothing is asked; a stamp save
    // cannot add pages and replaces the file, so it asks.
    void addingPagesIsNotAskedButAStampReplaceIs() {
        QTemporaryDir dir;
        QFile existing(dir.filePath("book.tif"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        EngineDialog dlg;
        dlg.fileName = existing.fileName();
        dlg.format = kFmtTiffLzw;
        dlg.saveOption = 1;
        int asked = 0;
        bool stamp = false;
        EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind) {
            d.findChild<QCheckBox*>("Stamp")->setChecked(stamp);
            return pressOkWithAnswer(d, true, asked);
        });
        dlg.showSave(nullptr);
        QCOMPARE(asked, 0);
        stamp = true;
        dlg.showSave(nullptr);
        QCOMPARE(asked, 1);
        QCOMPARE(dlg.saveOption, 1);
    }

    void saveCancelRaises20150() {
        EngineDialog dlg;
        EngineDialog::setAnswerHook([](QDialog&, EngineDialog::Kind) { return false; });
        QVERIFY_THROWS_EXCEPTION(EngineError, dlg.showSave(nullptr));
    }

private:
    static bool pressOkWithAnswer(QDialog& d, bool answer, int& asked);
};

bool TestEngineDialog::pressOkWithAnswer(QDialog& d, bool answer, int& asked) {
    auto* sd = qobject_cast<SaveDialog*>(&d);
    sd->confirmOverwrite = [&, answer](const QString&) {
        ++asked;
        return answer;
    };
    return pressOk(d);
}

QTEST_MAIN(TestEngineDialog)
#include "test_engine_dialog.moc"
