// The control's document side: handles, pages, the last load, load and
// save, animation settings; and its dispatch table.
#include "image_control.h"

#include <QApplication>
#include <QClipboard>

#include <cmath>

#include "control_dispatch.h"
#include "core/codes.h"
#include "core/document.h"
#include "core/formats/read_ahead.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "image_control_p.h"
#include "native_path.h"

namespace qova::engine {

ImageControl::ImageControl(QWidget* parent) : QAbstractScrollArea(parent), d(std::make_unique<Private>()) {
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    viewport()->setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    d->doc.setListener([this](ImageDocument::Change c) { documentChanged(int(c)); });
}

ImageControl::~ImageControl() { d->doc.setListener({}); }

void ImageControl::log(int id) const {
    if (callLogEnabled_) callLog_.push_back(id);
    if (callHook_) callHook_(id);
}

void ImageControl::setCallLogEnabled(bool on) {
    callLogEnabled_ = on;
    callLog_.clear();
}

void ImageControl::setCallHook(std::function<void(int id)> hook) { callHook_ = std::move(hook); }

void ImageControl::documentChanged(int change) {
    // A new picture, or a page of another size, starts from its own
    // rectangles; the previous ones would stretch it to the old display size.
    if (ImageDocument::Change(change) != ImageDocument::Change::Pixels) resetRects();
    // A few changed pixels (a selection put down) only touch up the view.
    const RectI& area = d->doc.changedArea();
    if (ImageDocument::Change(change) != ImageDocument::Change::Pixels || area.isEmpty() ||
        !patchView(area.x, area.y, area.w, area.h))
        invalidateView();
    regionsFollowDocument();
    animationFollowDocument();
}

ImageDocument& ImageControl::imageDocument() { return d->doc; }
const ImageDocument& ImageControl::imageDocument() const { return d->doc; }
const Document& ImageControl::document() const { return d->doc.document(); }
Document& ImageControl::mutableDocument() { return d->doc.mutableDocument(); }
void ImageControl::setDocument(Document doc) { d->doc.setDocument(std::move(doc)); }
const Bitmap& ImageControl::currentBitmap() const { return d->doc.currentBitmap(); }
void ImageControl::setCurrentBitmap(const Bitmap& b) { d->doc.setCurrentBitmap(b); }
void ImageControl::bitmapChanged() { invalidateView(); }

bool ImageControl::isEmpty() const { return d->doc.isEmpty(); }

uint32_t ImageControl::bitmapHandle() const {
    log(dispid::BitmapHandle);
    return d->doc.bitmapHandle();
}

void ImageControl::setBitmapHandle(uint32_t handle) {
    log(dispid::BitmapHandle);
    d->doc.setBitmapHandle(handle);
}

int ImageControl::bitmapWidth() const {
    log(dispid::BitmapWidth);
    return d->doc.bitmapWidth();
}

int ImageControl::bitmapHeight() const {
    log(dispid::BitmapHeight);
    return d->doc.bitmapHeight();
}

int ImageControl::bitsPerPixel() const {
    log(dispid::BitsPerPixel);
    return d->doc.bitsPerPixel();
}

int ImageControl::bitmapListIndex() const {
    log(dispid::BitmapListIndex);
    return d->doc.bitmapListIndex();
}

void ImageControl::setBitmapListIndex(int index) {
    log(dispid::BitmapListIndex);
    d->doc.setBitmapListIndex(index);
}

int ImageControl::bitmapListCount() const {
    log(dispid::BitmapListCount);
    return d->doc.bitmapListCount();
}

void ImageControl::insertBitmapListItem(int position, uint32_t handle) {
    log(dispid::InsertBitmapListItem);
    d->doc.insertBitmapListItem(position, handle);
}

int ImageControl::infoWidth() const { log(dispid::InfoWidth); return d->doc.info().width; }
int ImageControl::infoHeight() const { log(dispid::InfoHeight); return d->doc.info().height; }
int ImageControl::infoBits() const { log(dispid::InfoBits); return d->doc.info().bpp; }
double ImageControl::infoSize() const { log(dispid::InfoSize); return double(d->doc.info().sizeBytes); }

void ImageControl::reportProgress(int percent) {
    if (progressEnabled_) emit progress(percent);
}

bool ImageControl::preLoad() const { return d->doc.preLoad(); }
void ImageControl::setPreLoad(bool on) { d->doc.setPreLoad(on); }

int16_t ImageControl::load(const QString& path, int bpp, int page, int pageCount) {
    log(dispid::Load);
    QSize reduce(0, 0);
    // Reduce very large photos to the screen while decoding. The option
    // serves this load only, as the pre-load flag does.
    if (loadOption_ & 1) reduce = screenSize();
    loadOption_ = 0;
    const std::string native = nativePath(path);
    int16_t code;
    if (previewShown_ && bpp == 0 && page == 0 && pageCount == -1 && reduce.isEmpty()) {
        const QSize view = maximumViewportSize();
        struct Drop {
            ImageControl* c;
            ~Drop() {
                if (c->d->preview.isNull()) return;
                c->d->preview = QImage();
                c->viewport()->update();
            }
        } drop{this};
        code = d->doc.loadWithPreview(
            native, view.width(), view.height(),
            [this, view](const Bitmap& small, int w, int h) { showPreview(small, w, h, view); },
            [this](int p) { reportProgress(p); });
    } else {
        code = d->doc.load(native, bpp, page, pageCount, [this](int p) { reportProgress(p); }, reduce.width(),
                           reduce.height());
    }
    // The read-ahead may have made the reduced copy this picture is painted from.
    Bitmap copy;
    if (code == kOk && readAhead_ && readAhead_->takeViewCopy(native, copy)) keepViewCopy(copy);
    return code;
}

void ImageControl::setReadAhead(ReadAhead* readAhead) {
    readAhead_ = readAhead;
    d->doc.setReadAhead(readAhead);
}

void ImageControl::readAhead(const QStringList& paths) { readAhead(paths, {}); }

void ImageControl::readAhead(const QStringList& paths, std::function<QSize(QSize)> viewSize) {
    if (!readAhead_) return;
    std::vector<std::string> v;
    for (const QString& p : paths) v.push_back(nativePath(p));
    ReadAhead::ViewSizeFn fn;
    if (viewSize)
        fn = [viewSize = std::move(viewSize)](int w, int h) {
            const QSize s = viewSize(QSize(w, h));
            return std::pair<int, int>(s.width(), s.height());
        };
    readAhead_->prefetch(v, std::move(fn));
}

QString ImageControl::imageSource() const { return pathFromNative(d->doc.imageSource()); }

void ImageControl::setImageSource(const QString& path) {
    log(dispid::ImageSource);
    if (path.isEmpty()) {
        d->doc.setImageSource({});
        return;
    }
    const int16_t code = load(path, 0, 0, -1);
    if (code != kOk) throw EngineError(code, "image source");
}

int16_t ImageControl::saveFile(const QString& path, int format, int bpp, int quality, int saveOption) {
    log(dispid::SaveFile);
    SaveRequest r;
    r.path = nativePath(path);
    r.format = format;
    r.bpp = bpp;
    r.quality = quality;
    r.saveOption = saveOption;
    return d->doc.save(r);
}

int16_t ImageControl::saveFileWithStamp(const QString& path, int format, int bpp, int quality, float stampWidth,
                                        float stampHeight, int stampBits) {
    log(dispid::SaveFileWithStamp);
    SaveRequest r;
    r.path = nativePath(path);
    r.format = format;
    r.bpp = bpp;
    r.quality = quality;
    r.stamp = true;
    r.stampWidth = int(std::lround(stampWidth));
    r.stampHeight = int(std::lround(stampHeight));
    r.stampBpp = stampBits;
    return d->doc.save(r);
}

bool ImageControl::animationLoop() const { log(dispid::AnimationLoop); return d->doc.animationLoop(); }
void ImageControl::setAnimationLoop(bool on) { log(dispid::AnimationLoop); d->doc.setAnimationLoop(on); }

int16_t ImageControl::resizeBitmap(double width, double height, int flags) {
    log(dispid::Resize);
    // A region is resized with the picture.
    return d->doc.resize(int(std::lround(width)), int(std::lround(height)), flags,
                         [this](int p) { reportProgress(p); });
}

int16_t ImageControl::combine(double dx, double dy, double w, double h, uint32_t srcHandle, double sx, double sy,
                              int op) {
    log(dispid::Combine);
    return d->doc.combine(dx, dy, w, h, srcHandle, sx, sy, op, [this](int p) { reportProgress(p); });
}

int16_t ImageControl::greyscale(int bits) {
    log(dispid::Greyscale);
    return d->doc.greyscale(bits, [this](int p) { reportProgress(p); });
}

int16_t ImageControl::createBitmap(int width, int height, int bits) {
    log(dispid::CreateBitmap);
    return d->doc.createBitmap(width, height, bits);
}

void ImageControl::copyToClipboard(int) {
    log(dispid::CopyToClipboard);
    (void)d->doc.bitmapWidth();  // an empty control fails as every bitmap read does
    QApplication::clipboard()->setImage(shownImage(currentBitmap()));
}

namespace dispatch {

std::span<const Entry> documentEntries() {
    using C = ImageControl;
    using L = QVariantList;
    using V = QVariant;
    static const Entry table[] = {
        {dispid::BitmapHandle, "bitmapHandle", [](C& c, const L&) { return V::fromValue(c.bitmapHandle()); },
         [](C& c, const V& v) { c.setBitmapHandle(v.toUInt()); }},
        {dispid::ProgressEnabled, "progressEnabled", [](C& c, const L&) { return V(c.progressEnabled()); },
         [](C& c, const V& v) {
             c.log(dispid::ProgressEnabled);
             c.setProgressEnabled(v.toBool());
         }},
        {dispid::BitmapWidth, "bitmapWidth", [](C& c, const L&) { return V(c.bitmapWidth()); }, nullptr},
        {dispid::BitmapHeight, "bitmapHeight", [](C& c, const L&) { return V(c.bitmapHeight()); }, nullptr},
        {dispid::BitsPerPixel, "bitsPerPixel", [](C& c, const L&) { return V(c.bitsPerPixel()); }, nullptr},
        {dispid::InfoWidth, "infoWidth", [](C& c, const L&) { return V(c.infoWidth()); }, nullptr},
        {dispid::InfoHeight, "infoHeight", [](C& c, const L&) { return V(c.infoHeight()); }, nullptr},
        {dispid::InfoBits, "infoBits", [](C& c, const L&) { return V(c.infoBits()); }, nullptr},
        {dispid::InfoSize, "infoSize", [](C& c, const L&) { return V(c.infoSize()); }, nullptr},
        {dispid::LoadOption, "loadOption", [](C& c, const L&) { return V(c.loadOption()); },
         [](C& c, const V& v) {
             c.log(dispid::LoadOption);
             c.setLoadOption(v.toInt());
         }},
        {dispid::BitmapListIndex, "bitmapListIndex", [](C& c, const L&) { return V(c.bitmapListIndex()); },
         [](C& c, const V& v) { c.setBitmapListIndex(v.toInt()); }},
        {dispid::BitmapListCount, "bitmapListCount", [](C& c, const L&) { return V(c.bitmapListCount()); }, nullptr},
        {dispid::PreLoad, "preLoad", [](C& c, const L&) { return V(c.preLoad()); },
         [](C& c, const V& v) {
             c.log(dispid::PreLoad);
             c.setPreLoad(v.toBool());
         }},
        {dispid::AnimationLoop, "animationLoop", [](C& c, const L&) { return V(c.animationLoop()); },
         [](C& c, const V& v) { c.setAnimationLoop(v.toBool()); }},
        {dispid::ImageSource, "imageSource", [](C& c, const L&) { return V(c.imageSource()); },
         [](C& c, const V& v) { c.setImageSource(v.toString()); }},
        {dispid::SaveFile, "saveFile",
         [](C& c, const L& a) {
             return V(c.saveFile(arg(a, 0).toString(), arg(a, 1).toInt(), arg(a, 2).toInt(), arg(a, 3).toInt(),
                                 arg(a, 4).toInt()));
         },
         nullptr},
        {dispid::SaveFileWithStamp, "saveFileWithStamp",
         [](C& c, const L& a) {
             return V(c.saveFileWithStamp(arg(a, 0).toString(), arg(a, 1).toInt(), arg(a, 2).toInt(),
                                          arg(a, 3).toInt(), arg(a, 4).toFloat(), arg(a, 5).toFloat(),
                                          arg(a, 6).toInt()));
         },
         nullptr},
        {dispid::CopyToClipboard, "copyToClipboard",
         [](C& c, const L& a) {
             c.copyToClipboard(arg(a, 0).toInt());
             return V();
         },
         nullptr},
        {dispid::Resize, "resizeBitmap",
         [](C& c, const L& a) {
             return V(c.resizeBitmap(arg(a, 0).toDouble(), arg(a, 1).toDouble(), arg(a, 2).toInt()));
         },
         nullptr},
        {dispid::Combine, "combine",
         [](C& c, const L& a) {
             return V(c.combine(arg(a, 0).toDouble(), arg(a, 1).toDouble(), arg(a, 2).toDouble(),
                                arg(a, 3).toDouble(), arg(a, 4).toUInt(), arg(a, 5).toDouble(), arg(a, 6).toDouble(),
                                arg(a, 7).toInt()));
         },
         nullptr},
        {dispid::Greyscale, "greyscale", [](C& c, const L& a) { return V(c.greyscale(arg(a, 0).toInt())); },
         nullptr},
        {dispid::CreateBitmap, "createBitmap",
         [](C& c, const L& a) {
             return V(c.createBitmap(arg(a, 0).toInt(), arg(a, 1).toInt(), arg(a, 2).toInt()));
         },
         nullptr},
        {dispid::Load, "load",
         [](C& c, const L& a) {
             return V(c.load(arg(a, 0).toString(), arg(a, 1).toInt(), arg(a, 2).toInt(), arg(a, 3).toInt()));
         },
         nullptr},
        {dispid::InsertBitmapListItem, "insertBitmapListItem",
         [](C& c, const L& a) {
             c.insertBitmapListItem(arg(a, 0).toInt(), arg(a, 1).toUInt());
             return V();
         },
         nullptr},
    };
    return table;
}

}  // namespace dispatch

}  // namespace qova::engine
