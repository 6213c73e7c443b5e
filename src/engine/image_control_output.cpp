// The control's output side: drawing the picture into a painter (the print
// render), scanners through SANE (source choice and acquisition) and screen
// capture; and their dispatch table.
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <map>
#include <memory>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "control_dispatch.h"
#include "core/codes.h"
#include "core/cv_bitmap.h"
#include "dialogs/scan_dialogs.h"
#include "dispatch_ids.h"
#include "engine_dialog.h"
#include "image_control.h"
#include "image_control_p.h"
#include "job_thread.h"
#include "scanner.h"

namespace qova::engine {

// What the scanner side keeps for the run: the device the source choice
// picked, and the settings last scanned with on each device, which the
// settings dialog starts from (in view, so never silently).
struct ScanMemory {
    QString source;
    std::map<std::string, scan::Settings> settings;
};

namespace {

const QString kScanTitle = QStringLiteral("ｽｷｬﾝ");

// A SANE session on a thread of its own: every SANE call, the last one
// (sane_exit) included, runs there; the user-interface thread waits with
// the windows repainting.
class ScanRun {
public:
    explicit ScanRun(QWidget* owner) : owner_(owner) {}
    ~ScanRun() {
        thread_.post([this] { session_.reset(); });
    }
    // Runs `f` on the session's thread; a box with `text` comes up when it
    // takes longer than a moment.
    void wait(const QString& text, const std::function<void(scan::Session&)>& f) {
        WaitOptions o;
        o.owner = owner_;
        o.title = kScanTitle;
        o.text = text;
        runAndWait(thread_, [&](const ProgressReport&) {
            if (!session_) session_ = std::make_unique<scan::Session>();
            f(*session_);
        }, o);
    }
    // The scan itself, with a box (gauge and cancel button) from the start.
    int16_t scan(Bitmap& out, const std::function<void(int)>& progress) {
        WaitOptions o;
        o.owner = owner_;
        o.title = kScanTitle;
        o.text = QStringLiteral("ｽｷｬﾝしています…");
        o.delayMs = 0;
        o.cancel = [this] { session_->cancel(); };
        o.progress = progress;
        int16_t code = kOk;
        runAndWait(thread_, [&](const ProgressReport& report) { code = session_->scan(out, report); }, o);
        return code;
    }

private:
    QWidget* owner_;
    std::unique_ptr<scan::Session> session_;  // made, used and ended on thread_
    JobThread thread_;
};

// The bitmap resampled to w × h as the view reduces it (exact 2 × 2
// averages while at least twice the size, then one bilinear or area step),
// the halvings done in bands of rows so that `progress` (0–100) moves even
// for a very large picture. Null when memory is short.
QImage resampleForPage(const Bitmap& b, int w, int h, const std::function<void(int)>& progress) {
    Bitmap src = b;
    if (b.bpp() < 8 || (b.bpp() == 8 && !b.isGrey())) src = b.convertTo(24);
    if (src.isNull()) return {};
    QImage::Format fmt = QImage::Format_BGR888;
    switch (src.bpp()) {
    case 8: fmt = QImage::Format_Grayscale8; break;
    case 16: fmt = QImage::Format_Grayscale16; break;
    case 32: fmt = QImage::Format_ARGB32; break;
    default: break;
    }
    int halvings = 0;
    for (int cw = src.width(), ch = src.height(); cw >= 2 * w && ch >= 2 * h && cw >= 4 && ch >= 4; cw /= 2, ch /= 2)
        ++halvings;
    cv::Mat cur = cvView(src);
    // The first halving reads the whole picture and costs three quarters
    // of the work; the gauge follows rows of it.
    double done = 0;
    const double share[] = {0.75, 0.1875, 0.046875};
    for (int i = 0; i < halvings; ++i) {
        cv::Mat half(cur.rows / 2, cur.cols / 2, cur.type());
        const int band = std::max(16, half.rows / 16);
        for (int y = 0; y < half.rows; y += band) {
            const int n = std::min(band, half.rows - y);
            cv::Mat out = half(cv::Rect(0, y, half.cols, n));
            cv::resize(cur(cv::Rect(0, 2 * y, 2 * half.cols, 2 * n)), out, out.size(), 0, 0, cv::INTER_AREA);
            progress(int(100 * (done + (i < 3 ? share[i] : 0) * (y + n) / half.rows)));
        }
        done += i < 3 ? share[i] : 0;
        cur = half;
    }
    QImage page(w, h, fmt);
    if (page.isNull()) return page;
    cv::Mat dst(h, w, cur.type(), page.bits(), size_t(page.bytesPerLine()));
    if (cur.cols == w && cur.rows == h) cur.copyTo(dst);
    else cv::resize(cur, dst, dst.size(), 0, 0, cur.cols >= w && cur.rows >= h ? cv::INTER_LINEAR : cv::INTER_AREA);
    progress(100);
    // Transparency prints on white, as the view shows it.
    return src.bpp() == 32 ? onWhite(page) : page;
}

// The QPainter a dispatch call passes as its device context.
QPainter* painterArg(const QVariant& v) {
    return v.metaType().id() == QMetaType::VoidStar ? static_cast<QPainter*>(v.value<void*>()) : nullptr;
}

QWidget* ownerArg(const QVariant& v) { return qobject_cast<QWidget*>(v.value<QObject*>()); }

}  // namespace

int16_t ImageControl::renderToDevice(QPainter* painter, double left, double top, double width, double height) {
    log(dispid::RenderToDevice);
    if (isEmpty()) return kErrBadHandle;
    if (!painter || !painter->isActive()) return kErrBadParam;
    if (!(width >= 0.5 && height >= 0.5 && width <= kMaxDimension && height <= kMaxDimension)) return kErrBadSize;
    const int w = int(std::lround(width)), h = int(std::lround(height));
    // A copy sharing the pixels: the gauge lets the window run, and whatever
    // the user does to the picture meanwhile does not reach this page.
    const Bitmap b = currentBitmap();
    reportProgress(0);
    QImage page;
    try {
        // Resampled to the device's grid, as the view reduces it (area
        // average down; whole pixels with soft edges up): a fifth of the gauge.
        page = resampleForPage(b, w, h, [this](int p) {
            if (p / 5 > 0 && p < 100) reportProgress(p / 5);
        });
    } catch (const std::exception&) {
        return kErrNoMemory;
    }
    if (page.isNull()) return kErrNoMemory;
    reportProgress(20);
    // Sent in bands of about an inch, so the gauge follows the device's
    // work; each band overlaps the next by one row, which hides the seam a
    // renderer may leave between two images.
    constexpr int kBand = 300;
    for (int y = 0; y < h; y += kBand) {
        const int rows = std::min(kBand + 1, h - y);
        painter->drawImage(QPointF(left, top + y), page.copy(0, y, w, rows));
        reportProgress(20 + int(80LL * std::min(h, y + kBand) / h));
    }
    return kOk;
}

QString ImageControl::twainSource() const { return scanMemory_ ? scanMemory_->source : QString(); }

int16_t ImageControl::selectTwainSource(QWidget* owner) {
    log(dispid::SelectTwainSource);
    if (!scanMemory_) scanMemory_ = std::make_shared<ScanMemory>();
    std::vector<scan::Device> devices;
    int16_t code = kOk;
    {
        ScanRun run(owner);
        run.wait(QStringLiteral("機器を探しています…"), [&](scan::Session& s) {
            code = s.startCode() ? s.startCode() : s.listDevices(devices);
        });
    }
    if (code != kOk) return code;
    ScanSourceDialog d(devices, scanMemory_->source, owner);
    if (!EngineDialog::runDialog(d, EngineDialog::Kind::ScanSource) || d.chosen().isEmpty()) return kErrTwainCancelled;
    scanMemory_->source = d.chosen();
    return kOk;
}

int16_t ImageControl::acquireTwain(QWidget* owner) {
    log(dispid::AcquireTwain);
    if (!scanMemory_) scanMemory_ = std::make_shared<ScanMemory>();
    const std::string wanted = scanMemory_->source.toStdString();
    ScanRun run(owner);
    int16_t code = kOk;
    scan::Device device;
    scan::Options options;
    run.wait(QStringLiteral("ｽｷｬﾅに接続しています…"), [&](scan::Session& s) {
        std::vector<scan::Device> devices;
        code = s.startCode() ? s.startCode() : s.listDevices(devices);
        if (code != kOk) return;
        // The device chosen, or the first there is when none was; a chosen
        // one that has gone is not silently replaced by another.
        auto it = wanted.empty() ? devices.begin()
                                 : std::find_if(devices.begin(), devices.end(),
                                                [&](const scan::Device& d) { return d.name == wanted; });
        if (it == devices.end()) {
            code = kErrTwainNoSource;
            return;
        }
        device = *it;
        code = s.open(device.name);
        if (code == kOk) options = s.options();
    });
    if (code != kOk) return code;

    const auto last = scanMemory_->settings.find(device.name);
    ScanSettingsDialog d(options, last != scanMemory_->settings.end() ? last->second : scan::Settings{},
                         deviceLabel(device), owner);
    if (!EngineDialog::runDialog(d, EngineDialog::Kind::ScanSettings)) return kErrTwainCancelled;
    const scan::Settings chosen = d.settings();
    run.wait(QStringLiteral("ｽｷｬﾅを設定しています…"), [&](scan::Session& s) { code = s.apply(chosen); });
    if (code != kOk) return code;
    scanMemory_->settings[device.name] = chosen;

    Bitmap picture;
    code = run.scan(picture, [this](int p) { reportProgress(p); });
    if (code != kOk) return code;
    showAcquired(picture);
    return kOk;
}

int16_t ImageControl::capture(quint64 window, double left, double top, double width, double height) {
    log(dispid::Capture);
    if (!(width >= 0.5 && height >= 0.5 && width <= kMaxDimension && height <= kMaxDimension)) return kErrBadSize;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return kErrUnknown;
    const QPixmap shot = screen->grabWindow(WId(window), int(std::lround(left)), int(std::lround(top)),
                                            int(std::lround(width)), int(std::lround(height)));
    if (shot.isNull()) return kErrUnknown;
    const QImage img = shot.toImage().convertToFormat(QImage::Format_BGR888);
    if (img.isNull()) return kErrNoMemory;
    int16_t code = kOk;
    Bitmap b = Bitmap::create(img.width(), img.height(), 24, false, &code);
    if (b.isNull()) return code;
    for (int y = 0; y < img.height(); ++y) std::memcpy(b.mutableRow(y), img.constScanLine(y), size_t(img.width()) * 3);
    // The picture has the screen's depth: a 256-colour screen gives a
    // palette picture.
    if (screen->depth() <= 8) {
        b = b.convertTo(8, &code);
        if (b.isNull()) return code;
    }
    showAcquired(b);
    return kOk;
}

void ImageControl::showAcquired(const Bitmap& b) {
    Document doc;
    doc.frames.push_back(Frame{b});
    doc.info.width = b.width();
    doc.info.height = b.height();
    doc.info.bpp = b.bpp();
    doc.info.sizeBytes = int64_t(b.byteSize());
    doc.info.pageCount = 1;
    // No file behind it any more.
    d->doc.setImageSource({});
    d->doc.setDocument(std::move(doc));
}

namespace dispatch {

std::span<const Entry> outputEntries() {
    using C = ImageControl;
    using L = QVariantList;
    using V = QVariant;
    static const Entry table[] = {
        {dispid::AcquireTwain, "acquireTwain", [](C& c, const L& a) { return V(c.acquireTwain(ownerArg(arg(a, 0)))); },
         nullptr},
        {dispid::SelectTwainSource, "selectTwainSource",
         [](C& c, const L& a) { return V(c.selectTwainSource(ownerArg(arg(a, 0)))); }, nullptr},
        {dispid::RenderToDevice, "renderToDevice",
         [](C& c, const L& a) {
             return V(c.renderToDevice(painterArg(arg(a, 0)), arg(a, 1).toDouble(), arg(a, 2).toDouble(),
                                       arg(a, 3).toDouble(), arg(a, 4).toDouble()));
         },
         nullptr},
        {dispid::Capture, "capture",
         [](C& c, const L& a) {
             return V(c.capture(arg(a, 0).toULongLong(), arg(a, 1).toDouble(), arg(a, 2).toDouble(),
                                arg(a, 3).toDouble(), arg(a, 4).toDouble()));
         },
         nullptr},
    };
    return table;
}

}  // namespace dispatch

}  // namespace qova::engine
