#include "document.h"

#include "animation.h"

#include "codes.h"
#include "engine_error.h"
#include "formats/read_ahead.h"
#include "handles.h"
#include "ops/compose.h"
#include "ops/ranges.h"
#include "ops/reduce.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace qova::engine {

namespace {

[[noreturn]] void badHandle() { throw EngineError(kErrBadHandle, "ﾋﾞｯﾄﾏｯﾌﾟﾊﾝﾄﾞﾙが不正です。"); }

Bitmap bitmapOf(uint32_t handle) {
    Bitmap b;
    if (!HandleTable::instance().get(handle, b)) badHandle();
    return b;
}

}  // namespace

ImageDocument::ImageDocument() {
    handle_ = HandleTable::instance().addProvider([this]() { return currentBitmap(); });
}

ImageDocument::~ImageDocument() {
    HandleTable::instance().remove(handle_);
    if (floaterHandle_) HandleTable::instance().remove(floaterHandle_);
}

void ImageDocument::changed(Change c) {
    // A stopped animation's last canvas gives way to the changed page.
    if (!playing_) canvas_.reset();
    ++serial_;
    if (listener_) listener_(c);
}

void ImageDocument::requireImage() const {
    if (isEmpty()) badHandle();
}

uint32_t ImageDocument::bitmapHandle() const { return isEmpty() ? 0 : handle_; }

void ImageDocument::setBitmapHandle(uint32_t handle) {
    if (handle == 0) {
        setDocument(Document{});
        return;
    }
    if (handle == handle_) return;
    const Bitmap b = bitmapOf(handle);
    // A floater's handle brings its region along.
    Region carried;
    const bool carries = HandleTable::instance().region(handle, carried);
    if (!isEmpty()) {
        if (carries) setRegion(carried);
        setCurrentBitmap(b);
        return;
    }
    Document doc;
    doc.frames.push_back(Frame{b});
    doc.info.width = b.width();
    doc.info.height = b.height();
    doc.info.bpp = b.bpp();
    doc.info.pageCount = 1;
    setDocument(std::move(doc));
    if (carries) setRegion(carried);
}

int ImageDocument::bitmapWidth() const {
    requireImage();
    return currentBitmap().width();
}

int ImageDocument::bitmapHeight() const {
    requireImage();
    return currentBitmap().height();
}

int ImageDocument::bitsPerPixel() const {
    requireImage();
    return currentBitmap().bpp();
}

const Bitmap& ImageDocument::currentBitmap() const {
    static const Bitmap empty;
    return isEmpty() ? empty : doc_.frames[size_t(index_)].bitmap;
}

void ImageDocument::setCurrentBitmap(const Bitmap& b) {
    const Bitmap& before = currentBitmap();
    const bool resized = before.width() != b.width() || before.height() != b.height();
    if (isEmpty()) {
        doc_.frames.push_back(Frame{b});
        index_ = 0;
    } else {
        doc_.frames[size_t(index_)].bitmap = b;
    }
    changed(resized ? Change::Resized : Change::Pixels);
}

void ImageDocument::setBitmapListIndex(int index) {
    if (index < 0 || index >= bitmapListCount()) throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。");
    if (index == index_) return;
    const Bitmap& before = currentBitmap();
    const int w = before.width(), h = before.height();
    index_ = index;
    newPicture();
    changed(currentBitmap().width() != w || currentBitmap().height() != h ? Change::Resized : Change::Pixels);
}

void ImageDocument::insertBitmapListItem(int position, uint32_t handle) {
    const Bitmap b = bitmapOf(handle);
    auto& frames = doc_.frames;
    if (position < 0 || position > int(frames.size())) position = int(frames.size());
    frames.insert(frames.begin() + position, Frame{b});
    Change c = Change::Pixels;
    if (frames.size() == 1) {
        index_ = 0;
        newPicture();
        doc_.info.width = b.width();
        doc_.info.height = b.height();
        doc_.info.bpp = b.bpp();
        c = Change::Resized;
    } else if (position <= index_) {
        ++index_;
    }
    doc_.info.pageCount = int(frames.size());
    changed(c);
}

int16_t ImageDocument::load(const std::string& path, int bpp, int page, int pageCount, const ProgressFn& progress,
                            int reduceWidth, int reduceHeight) {
    LoadRequest req;
    req.path = path;
    req.bpp = bpp;
    req.firstPage = page;
    req.pageCount = pageCount;
    req.progress = progress;
    req.reduceWidth = reduceWidth;
    req.reduceHeight = reduceHeight;
    Document doc;
    int16_t code = kOk;
    // A picture decoded ahead serves a plain load of the whole file.
    const bool plain = bpp == 0 && page == 0 && pageCount == -1 && reduceWidth == 0;
    const FileStamp stamp = plain ? stampBeforeLoad(path) : FileStamp{};
    if (plain && readAhead_ && readAhead_->take(req.path, doc, code)) {
        if (progress) {
            progress(0);
            progress(100);
        }
    } else {
        code = loadFile(req, doc);
    }
    preLoad_ = false;
    if (code != kOk) return code;
    putLoaded(std::move(doc), path, stamp);
    return kOk;
}

ImageDocument::FileStamp ImageDocument::stampBeforeLoad(const std::string& path) const {
    FileStamp s;
    if (readAhead_) s.known = ReadAhead::fileStamp(path, s.mtime, s.size);
    return s;
}

void ImageDocument::putLoaded(Document doc, const std::string& path, const FileStamp& stamp) {
    Document left = std::move(asLoaded_);
    const FileStamp leftStamp = asLoadedStamp_;
    const std::string leftPath = source_;
    setDocument(std::move(doc));
    source_ = path;
    if (readAhead_ && leftStamp.known && !left.frames.empty() && !leftPath.empty() && leftPath != path)
        readAhead_->keep(leftPath, std::move(left), leftStamp.mtime, leftStamp.size);
    uint64_t bytes = 0;
    for (const auto& f : doc_.frames) bytes += f.bitmap.byteSize();
    // Kept only while it costs nothing: it shares the pixels until they
    // change, and a picture too large for the read-ahead would not be taken.
    if (stamp.known && bytes <= (256ull << 20)) {
        asLoaded_ = doc_;
        asLoadedStamp_ = stamp;
    }
}

int16_t ImageDocument::loadWithPreview(const std::string& path, int viewWidth, int viewHeight,
                                       const PreviewFn& preview, const ProgressFn& progress) {
    const ReadAhead::Holding held = readAhead_ ? readAhead_->holding(path) : ReadAhead::Holding::None;
    LoadInfo info;
    // Decoded ahead, a file (nearly) costs nothing more; a picture near the
    // view's size costs as much reduced as whole.
    if (held == ReadAhead::Holding::Ready || !preview || viewWidth <= 0 || viewHeight <= 0 ||
        probeFile(path, info) != kOk || info.formatCode != kFmtJpeg || info.width <= 0 || info.height <= 0)
        return load(path, 0, 0, -1, progress);
    // The picture as the view will fit it: a preview only when that is a
    // quarter of it or less (libjpeg then decodes at 1/4 or 1/8).
    const double scale = std::min(double(viewWidth) / info.width, double(viewHeight) / info.height);
    if (scale > 0.25) return load(path, 0, 0, -1, progress);
    const int fitWidth = std::max(1, int(std::ceil(info.width * scale)));
    const int fitHeight = std::max(1, int(std::ceil(info.height * scale)));

    if (progress) progress(0);
    Document doc;
    int16_t code = kOk;
    const FileStamp stamp = stampBeforeLoad(path);
    // The whole picture decodes on a thread of its own, unless the
    // read-ahead is already at it.
    std::thread whole;
    if (held == ReadAhead::Holding::None) {
        if (readAhead_) readAhead_->unqueue(path);  // not decoded twice
        whole = std::thread([&] {
            LoadRequest req;
            req.path = path;
            try {
                code = loadFile(req, doc);
            } catch (const std::bad_alloc&) {
                code = kErrNoMemory;
            } catch (...) {
                code = kErrUnknown;
            }
        });
    }
    struct Join {
        std::thread& t;
        ~Join() {
            if (t.joinable()) t.join();
        }
    } join{whole};
    {
        LoadRequest req;
        req.path = path;
        req.reduceWidth = fitWidth;
        req.reduceHeight = fitHeight;
        Document small;
        if (loadFile(req, small) == kOk && !small.frames.empty())
            preview(small.frames.front().bitmap, info.width, info.height);
    }
    if (whole.joinable()) {
        whole.join();
    } else if (!readAhead_->take(path, doc, code)) {
        LoadRequest req;
        req.path = path;
        code = loadFile(req, doc);
    }
    preLoad_ = false;
    if (progress) progress(100);
    if (code != kOk) return code;
    putLoaded(std::move(doc), path, stamp);
    return kOk;
}

void ImageDocument::setImageSource(const std::string& path) {
    if (path.empty()) {
        source_.clear();
        setDocument(Document{});
        return;
    }
    const int16_t code = load(path, 0, 0, -1);
    if (code != kOk) throw EngineError(code, "image source");
}

int16_t ImageDocument::save(const SaveRequest& req) const {
    if (isEmpty()) return kErrBadHandle;
    return saveFile(doc_, req, index_);
}

int16_t ImageDocument::applyToPage(const PageOp& op) {
    if (isEmpty()) return kErrBadHandle;
    // Progress reports let the program's events run mid-operation, and one
    // may load another picture or set another region: the operation works
    // on copies, and its result is kept only for the page it was made from.
    Bitmap page = currentBitmap();
    const Region region = region_;
    const uint64_t serial = serial_;
    const int16_t code = op(page, region.isEmpty() ? nullptr : &region);
    if (code != kOk) return code;
    if (serial_ != serial) return kErrBadHandle;
    // An operation with nothing to do (stretching a picture that spans every
    // level) hands the page back untouched: the view keeps what it drew.
    const Bitmap& before = currentBitmap();
    if (page.sharesWith(before) && page.width() == before.width() && page.height() == before.height() &&
        page.bpp() == before.bpp() && page.isGrey() == before.isGrey() && page.palette() == before.palette())
        return kOk;
    setCurrentBitmap(page);
    return kOk;
}

int16_t ImageDocument::combine(double dx, double dy, double w, double h, uint32_t srcHandle, double sx, double sy,
                               int op, const ProgressFn& progress) {
    Bitmap src;
    if (!HandleTable::instance().get(srcHandle, src)) return kErrBadHandle;
    auto whole = [](double v) { return int(std::lround(v)); };
    if (op == ops::kCombineCopy && !isEmpty()) {
        // A plain copy checks everything before it writes, so it may write
        // into the page itself: putting a selection back on a large picture
        // then costs the selection, not a copy of the picture.
        Bitmap& page = doc_.frames[size_t(index_)].bitmap;
        const int16_t code = ops::combine(page, whole(dx), whole(dy), whole(w), whole(h), src, whole(sx), whole(sy),
                                          op, region(), progress);
        if (code == kOk) {
            changedArea_ = RectI{whole(dx), whole(dy), whole(w), whole(h)}.intersected(
                RectI{0, 0, page.width(), page.height()});
            changed(Change::Pixels);
            changedArea_ = RectI{};
        }
        return code;
    }
    return applyToPage([&](Bitmap& page, const Region* r) {
        return ops::combine(page, whole(dx), whole(dy), whole(w), whole(h), src, whole(sx), whole(sy), op, r,
                            progress);
    });
}

int16_t ImageDocument::greyscale(int bits, const ProgressFn& progress) {
    return applyToPage([&](Bitmap& page, const Region* r) { return ops::greyscale(page, bits, r, progress); });
}

int16_t ImageDocument::createBitmap(int width, int height, int bits) {
    Bitmap b;
    const int16_t code = ops::createBitmap(width, height, bits, false, b);
    if (code != kOk) return code;
    Document doc;
    doc.frames.push_back(Frame{b});
    doc.info.width = width;
    doc.info.height = height;
    doc.info.bpp = bits;
    doc.info.pageCount = 1;
    setDocument(std::move(doc));
    return kOk;
}

void ImageDocument::setDocument(Document doc) {
    // A picture put in any other way than a load is no file's.
    source_.clear();
    asLoaded_ = Document();
    asLoadedStamp_ = FileStamp();
    doc_ = std::move(doc);
    index_ = 0;
    newPicture();
    changed(Change::Replaced);
}

void ImageDocument::newPicture() {
    ++pictureId_;
    stopPlayback();
    floater_ = Floater();
    if (!region_.isEmpty()) setRegion(Region());
}

}  // namespace qova::engine
