// Print settings and Print as a user meets them: the size and place of the
// picture on the page, what the printer dialogs' answers do, the gauge,
// and real pages from a CUPS queue printing to PDF.
#include <QAction>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "engine/core/codes.h"
#include "engine/core/document.h"
#include "engine/dispatch_ids.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "output/output.h"
#include "output/print_layout.h"
#include "output/printer_dialog.h"
#include "print_queue.h"
#include "shell/status_bar.h"
#include "support/fake_context.h"
#include "support/images.h"

using namespace qova;
using namespace qova::test;
using output::PrinterDialog;
using shell::MenuId;

namespace {

// A picture whose quadrants are red, green, blue and black (top-left,
// top-right, bottom-left, bottom-right): nothing white, and upside down or
// mirrored shows.
engine::Bitmap quadrants(int w, int h) {
    engine::Bitmap b = engine::Bitmap::create(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = b.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            const int q = (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
            static const uint8_t bgr[4][3] = {{0, 0, 220}, {0, 200, 0}, {220, 0, 0}, {0, 0, 0}};
            std::copy(bgr[q], bgr[q] + 3, row + 3 * x);
        }
    }
    return b;
}

// A printed page as pixels at 50 dpi, and where the ink is.
struct Page {
    QImage image;
    QRect ink;  // bounding box of the pixels that are not paper white
    static constexpr double kDpi = 50;
    // A landscape page may be stored upright with its content turned a
    // quarter to the left (as CUPS does); `landscape` turns it back.
    static Page render(const QString& pdf, bool landscape = false) {
        Page p;
        QTemporaryDir dir;
        const QString base = dir.filePath("page");
        QProcess::execute("pdftoppm", {"-r", "50", "-singlefile", "-png", pdf, base});
        p.image = QImage(base + ".png").convertToFormat(QImage::Format_RGB32);
        if (landscape && p.image.height() > p.image.width()) p.image = p.image.transformed(QTransform().rotate(90));
        int x0 = p.image.width(), y0 = p.image.height(), x1 = -1, y1 = -1;
        for (int y = 0; y < p.image.height(); ++y)
            for (int x = 0; x < p.image.width(); ++x) {
                const QRgb c = p.image.pixel(x, y);
                if (qRed(c) + qGreen(c) + qBlue(c) > 3 * 200) continue;
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        if (x1 >= 0) p.ink = QRect(QPoint(x0, y0), QPoint(x1, y1));
        return p;
    }
    // The colour at the centre of a quadrant of the ink (0 top-left … 3 bottom-right).
    QRgb quadrant(int q) const {
        const int x = ink.left() + ink.width() * ((q & 1) ? 3 : 1) / 4;
        const int y = ink.top() + ink.height() * ((q & 2) ? 3 : 1) / 4;
        return image.pixel(x, y);
    }
};

// Inches → pixels of the rendered page.
int px(double inches) { return int(std::lround(inches * Page::kDpi)); }

}  // namespace

class TestPrint : public QObject {
    Q_OBJECT

    PrintQueue queue_;
    std::unique_ptr<FakeContext> ctx_;
    std::unique_ptr<output::Output> out_;
    std::unique_ptr<QTemporaryDir> tmp_;
    QList<PrinterDialog::Kind> asked_;
    QStringList cleanUp_;

    engine::ImageControl* img() { return ctx_->controls().Img1; }
    void show(int w, int h) {
        engine::Document d;
        d.frames.push_back(engine::Frame{quadrants(w, h)});
        img()->setDocument(d);
        ctx_->state().fImage = 1;
    }
    // The printer dialogs answered by `f` (recording which came up).
    void answer(std::function<bool(QPrinter&, PrinterDialog::Kind)> f) {
        PrinterDialog::setAnswerHook([this, f](QPrinter& p, PrinterDialog::Kind k) {
            asked_ << k;
            return f(p, k);
        });
    }
    // Print answered with a PDF file on `size` paper.
    QString printToFile(QPageSize::PageSizeId size = QPageSize::Letter,
                        QPageLayout::Orientation o = QPageLayout::Portrait) {
        const QString pdf = tmp_->filePath(QString("p%1.pdf").arg(asked_.size()));
        answer([=](QPrinter& p, PrinterDialog::Kind) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
            p.setPageSize(QPageSize(size));
            p.setPageOrientation(o);
            return true;
        });
        ctx_->action(MenuId::mnuFilePrint)->trigger();
        return pdf;
    }
    // The printable area's top-left corner on the page, in rendered pixels.
    QPoint origin() {
        const QRectF r = out_->printer().pageLayout().paintRectPoints();
        return QPoint(px(r.left() / 72), px(r.top() / 72));
    }
    // The picture sits at the printable area's corner, `w` × `h` inches, upright.
    void checkPlaced(const Page& page, double w, double h) {
        QVERIFY2(!page.image.isNull(), "no page rendered");
        const QPoint o = origin();
        QVERIFY2(std::abs(page.ink.left() - o.x()) <= 2 && std::abs(page.ink.top() - o.y()) <= 2,
                 qPrintable(QString("picture at %1,%2, area at %3,%4").arg(page.ink.left()).arg(page.ink.top())
                                .arg(o.x()).arg(o.y())));
        QVERIFY2(std::abs(page.ink.width() - px(w)) <= 2 && std::abs(page.ink.height() - px(h)) <= 2,
                 qPrintable(QString("picture %1 x %2").arg(page.ink.width()).arg(page.ink.height())));
        const QRgb tl = page.quadrant(0), tr = page.quadrant(1), bl = page.quadrant(2), br = page.quadrant(3);
        QVERIFY(qRed(tl) > 150 && qGreen(tl) < 90 && qBlue(tl) < 90);
        QVERIFY(qGreen(tr) > 120 && qRed(tr) < 90 && qBlue(tr) < 90);
        QVERIFY(qBlue(bl) > 150 && qRed(bl) < 90 && qGreen(bl) < 90);
        QVERIFY(qRed(br) < 60 && qGreen(br) < 60 && qBlue(br) < 60);
    }

private slots:
    void initTestCase() {
        queue_.start();
    }
    void cleanupTestCase() {
        for (const QString& f : cleanUp_) QFile::remove(f);
    }
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        ctx_ = std::make_unique<FakeContext>();
        out_ = std::make_unique<output::Output>(*ctx_);
        asked_.clear();
    }
    void cleanup() {
        PrinterDialog::setAnswerHook({});
        out_.reset();
        ctx_.reset();
        tmp_.reset();
    }

    // The fixed area (8 × 10 inches, 8 × 14 on legal, turned for
    // landscape) at 300 units per inch, as large as fits.
    void layoutOfThePicture() {
        using namespace output;
        QCOMPARE(printableArea(kPaperLetter, kPortrait).width, 8);
        QCOMPARE(printableArea(kPaperLetter, kPortrait).height, 10);
        QCOMPARE(printableArea(kPaperLegal, kPortrait).height, 14);
        QCOMPARE(printableArea(kPaperLegal, kLandscape).width, 14);
        QCOMPARE(printableArea(kPaperLegal, kLandscape).height, 8);
        QCOMPARE(printableArea(kPaperA4, kLandscape).width, 10);
        struct Case {
            float w, h;
            PrintArea area;
            int pw, ph;
        } cases[] = {
            {1600, 1200, {8, 10}, 2400, 1800},   // width-limited
            {1200, 1600, {8, 10}, 2250, 3000},   // 160 is not below 150: height-limited
            {1200, 1600, {8, 14}, 2400, 3200},   // legal portrait
            {1200, 1600, {14, 8}, 1800, 2400},   // legal landscape
            {1000, 1250, {8, 10}, 2400, 3000},   // equal quotients: height-limited, same size
            {3, 1, {8, 10}, 2400, 800},
            {1001, 3, {8, 10}, 2400, 7},          // 7.19… rounds to 7
            {1600, 3, {8, 10}, 2400, 4},          // 4.5 → 4, halves to even
        };
        for (const Case& c : cases) {
            const PrintSize s = printSize(c.w, c.h, c.area);
            QCOMPARE(s.width, int16_t(c.pw));
            QCOMPARE(s.height, int16_t(c.ph));
        }
    }

    // Without an image, Print does nothing, not even the dialog; with one
    // the picture lands at the printable area's corner, and the image, the
    // view and the undo snapshot are as they were. With the progress
    // preference on, the render moves the gauge from 0 to full.
    void printPlacesThePictureAndChangesNothing() {
        printToFile();
        QVERIFY(asked_.isEmpty());
        QList<int> seen;
        connect(img(), &engine::ImageControl::progress, this, [&](int p) { seen << p; });

        show(1600, 1200);
        img()->setViewMode(engine::ImageControl::ViewFit);
        ctx_->state().nZoom = 37;
        const engine::Bitmap before = img()->currentBitmap();
        const QRectF rect = img()->displayRect();

        const QString pdf = printToFile();
        QCOMPARE(asked_, QList<PrinterDialog::Kind>{PrinterDialog::Kind::Print});
        checkPlaced(Page::render(pdf), 8, 6);
        QVERIFY(img()->currentBitmap().sharesWith(before));
        QCOMPARE(img()->viewMode(), int(engine::ImageControl::ViewFit));
        QCOMPARE(img()->displayRect(), rect);
        QCOMPARE(ctx_->state().nZoom, int16_t(37));
        QVERIFY(ctx_->controls().Img4->isEmpty());  // no undo snapshot
        QVERIFY(ctx_->scripted().boxes.isEmpty());
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(seen.isEmpty());

        // A tall picture is height-limited: 7.5 × 10 inches.
        show(1200, 1600);
        ctx_->state().fProgress = -1;
        checkPlaced(Page::render(printToFile()), 7.5, 10);
        QVERIFY(seen.size() >= 5);
        QCOMPARE(seen.first(), 0);
        QCOMPARE(seen.last(), 100);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    }

    // Cancelling either dialog says nothing; Print starts from what Print
    // settings chose; a failing setup dialog is reported with its number; a
    // render that fails is reported with the engine's code.
    void dialogsAndFailures() {
        show(400, 300);
        answer([](QPrinter&, PrinterDialog::Kind) { return false; });
        ctx_->action(MenuId::mnuFilePrintSet)->trigger();
        ctx_->action(MenuId::mnuFilePrint)->trigger();
        QCOMPARE(asked_, (QList<PrinterDialog::Kind>{PrinterDialog::Kind::PrintSetup, PrinterDialog::Kind::Print}));
        QVERIFY(ctx_->scripted().boxes.isEmpty());

        answer([](QPrinter& p, PrinterDialog::Kind) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setPageSize(QPageSize(QPageSize::Legal));
            p.setPageOrientation(QPageLayout::Landscape);
            return true;
        });
        ctx_->action(MenuId::mnuFilePrintSet)->trigger();
        bool legalLandscape = false;
        answer([&](QPrinter& p, PrinterDialog::Kind) {
            legalLandscape = output::paperSizeCode(p) == output::kPaperLegal &&
                             output::orientationCode(p) == output::kLandscape;
            return false;
        });
        ctx_->action(MenuId::mnuFilePrint)->trigger();
        QVERIFY(legalLandscape);

        answer([](QPrinter&, PrinterDialog::Kind) -> bool { throw std::runtime_error("no printer"); });
        ctx_->action(MenuId::mnuFilePrintSet)->trigger();
        QCOMPARE(ctx_->scripted().boxes.size(), 1);
        QCOMPARE(ctx_->scripted().boxes[0].prompt, QString("VB Error: '5' - no printer."));
        QCOMPARE(ctx_->scripted().boxes[0].title, QString("Print Setup Error"));
        QCOMPARE(ctx_->scripted().boxes[0].style, int(shell::OkOnly));
        ctx_->action(MenuId::mnuFilePrint)->trigger();  // silent
        QCOMPARE(ctx_->scripted().boxes.size(), 1);

        // The picture goes while the render starts: the render's code 20002.
        img()->setCallHook([this](int id) {
            if (id == engine::dispid::RenderToDevice) img()->setImageSource(QString());
        });
        printToFile();
        img()->setCallHook({});
        QCOMPARE(ctx_->scripted().boxes.size(), 2);
        QCOMPARE(ctx_->scripted().boxes[1].prompt, QString("ｴﾗｰ '20002, ' が発生しました。"));
        QCOMPARE(ctx_->scripted().boxes[1].title, QString("印刷 ｴﾗｰ"));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    // The render's codes, and bands that add up to the picture scaled as a whole.
    void renderCodesAndBands() {
        QImage canvas(700, 900, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        QCOMPARE(img()->renderToDevice(&painter, 0, 0, 10, 10), int16_t(engine::kErrBadHandle));
        // Large enough to be halved (in bands) before the last step.
        engine::Document d;
        d.frames.push_back(engine::Frame{madeImage(1300, 1800, 24)});
        img()->setDocument(d);
        QCOMPARE(img()->dispatch(engine::dispid::RenderToDevice, {0, 0, 0, 10, 10}).toInt(), int(engine::kErrBadParam));
        QCOMPARE(img()->renderToDevice(&painter, 0, 0, 0, 10), int16_t(engine::kErrBadSize));
        QCOMPARE(img()->renderToDevice(&painter, 20, 30, 600, 850), int16_t(0));
        painter.end();
        const QImage whole = img()->reducedPicture(QSize(600, 850)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(canvas.copy(20, 30, 600, 850), whole);
        QCOMPARE(canvas.pixel(19, 30), qRgb(255, 255, 255));
        QCOMPARE(canvas.pixel(620, 880), qRgb(255, 255, 255));
    }

    // Through the private CUPS queue: a landscape photo on letter paper and
    // a tall picture on legal landscape, looked at as the PDF queue wrote them.
    // A picture with transparency prints on white, as it shows in the view.
    void transparencyPrintsOnWhite() {
        engine::Bitmap rgba = engine::Bitmap::createFilled(40, 40, 32, false, 0);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                uint8_t* p = rgba.mutableRow(y) + x * 4;
                p[2] = 255;
                p[3] = (x >= 10 && x < 30 && y >= 10 && y < 30) ? 255 : 0;
            }
        engine::Document d;
        d.frames.push_back(engine::Frame{rgba});
        img()->setDocument(d);
        QImage canvas(80, 80, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        QPainter painter(&canvas);
        QCOMPARE(img()->renderToDevice(&painter, 0, 0, 80, 80), int16_t(0));
        painter.end();
        QCOMPARE(QColor(canvas.pixel(4, 4)), QColor(Qt::white));
        QCOMPARE(QColor(canvas.pixel(40, 40)), QColor(Qt::red));
    }

    void realQueue() {
        if (!queue_.ok()) QSKIP(qPrintable("no private CUPS scheduler: " + queue_.whyNot()));
        struct Job {
            int w, h;
            QPageSize::PageSizeId paper;
            QPageLayout::Orientation orientation;
            double pageW, pageH, inkW, inkH;
        } jobs[] = {
            {1600, 1200, QPageSize::Letter, QPageLayout::Portrait, 8.5, 11, 8, 6},
            {1200, 1600, QPageSize::Legal, QPageLayout::Landscape, 14, 8.5, 6, 8},
        };
        for (const Job& j : jobs) {
            show(j.w, j.h);
            const QString token = QString("qovaprinttest%1x%2").arg(QCoreApplication::applicationPid()).arg(j.w);
            ctx_->state().sFileName = token;
            answer([&](QPrinter& p, PrinterDialog::Kind) {
                p.setOutputFormat(QPrinter::NativeFormat);
                p.setPrinterName(PrintQueue::name());
                p.setPageSize(QPageSize(j.paper));
                p.setPageOrientation(j.orientation);
                return true;
            });
            ctx_->action(MenuId::mnuFilePrint)->trigger();
            QVERIFY(ctx_->scripted().boxes.isEmpty());
            const QString pdf = PrintQueue::waitForJob(token);
            QVERIFY2(!pdf.isEmpty(), "the queue wrote no PDF");
            cleanUp_ << pdf;
            const Page page = Page::render(pdf, j.orientation == QPageLayout::Landscape);
            QVERIFY2(std::abs(page.image.width() - px(j.pageW)) <= 1 && std::abs(page.image.height() - px(j.pageH)) <= 1,
                     qPrintable(QString("page %1 x %2").arg(page.image.width()).arg(page.image.height())));
            checkPlaced(page, j.inkW, j.inkH);
        }
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
