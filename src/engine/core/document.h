// A picture as the engine holds it, apart from any view of it: the pages or
// frames of a file with their animation settings, what the last load said,
// the page shown, and the handle naming that page's bitmap. The visible
// control shows one; the program's hidden stores (undo, backups, scratch)
// are documents with no view at all.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "formats/formats.h"
#include "pages.h"
#include "regions/floater.h"
#include "regions/region.h"

namespace qova::engine {

class AnimationCanvas;
class ReadAhead;

class ImageDocument {
public:
    // What a change did to the page shown, for whoever draws it.
    enum class Change {
        Replaced,  // another picture (load, emptied, a handle put into an empty document)
        Resized,   // the page shown has another size (page turned, pixels replaced)
        Pixels,    // same size, other pixels
    };
    using Listener = std::function<void(Change)>;

    ImageDocument();
    ~ImageDocument();
    ImageDocument(const ImageDocument&) = delete;
    ImageDocument& operator=(const ImageDocument&) = delete;

    void setListener(Listener l) { listener_ = std::move(l); }

    // --- bitmap ---
    // Handle naming the page shown (0 when empty). Putting a handle copies
    // the bitmap it names into the page shown (into a new one-page picture
    // when empty); 0 empties the document. Throws EngineError 20002 for a
    // handle that names nothing.
    uint32_t bitmapHandle() const;
    void setBitmapHandle(uint32_t handle);
    bool isEmpty() const { return doc_.frames.empty(); }
    // Throw EngineError 20002 when the document is empty.
    int bitmapWidth() const;
    int bitmapHeight() const;
    int bitsPerPixel() const;
    // The page shown (an empty Bitmap when none).
    const Bitmap& currentBitmap() const;
    // Replaces the shown page's pixels (the first page of an empty document).
    void setCurrentBitmap(const Bitmap& b);

    // --- pages ---
    int bitmapListIndex() const { return index_; }
    void setBitmapListIndex(int index);  // throws EngineError 20013 out of range
    int bitmapListCount() const { return int(doc_.frames.size()); }
    // Inserts a copy of the bitmap named by `handle` at `position` (−1 = end).
    void insertBitmapListItem(int position, uint32_t handle);

    // --- last load ---
    const LoadInfo& info() const { return doc_.info; }

    // --- load and save ---
    // Put true before every load; a load clears it.
    bool preLoad() const { return preLoad_; }
    void setPreLoad(bool on) { preLoad_ = on; }
    // Loads pages [page, page + pageCount) (−1: all) at `bpp` (0: the
    // file's own). A plain load of a whole file is served by the read-ahead
    // when it has the file. On failure the document keeps what it had.
    int16_t load(const std::string& path, int bpp, int page, int pageCount, const ProgressFn& progress = {},
                 int reduceWidth = 0, int reduceHeight = 0);
    // A reduced picture shown while the whole one decodes: the preview
    // (decoded at 1/2 to 1/8) and the size of the whole picture.
    using PreviewFn = std::function<void(const Bitmap& preview, int width, int height)>;
    // A plain load of a whole file that, for a JPEG a view of viewWidth ×
    // viewHeight shows at a quarter of its size or less, first hands `preview` a
    // reduced decode (made while the whole picture decodes on another
    // thread). The document changes only once the whole picture is there,
    // so nothing ever acts on the preview. Otherwise the same as load().
    int16_t loadWithPreview(const std::string& path, int viewWidth, int viewHeight, const PreviewFn& preview,
                            const ProgressFn& progress = {});
    // The file the picture was loaded from: "" when it was put in any other
    // way (emptied, a handle put into an empty document, a new list).
    const std::string& imageSource() const { return source_; }
    // Where a plain load of a whole file looks first (null: nowhere).
    void setReadAhead(ReadAhead* r) { readAhead_ = r; }
    // "" empties the document; a path loads it, throwing EngineError with the
    // load's code when it fails.
    void setImageSource(const std::string& path);
    // Saves the document with `req`; pages beyond one go only to formats
    // with pages. Returns kErrBadHandle when empty.
    int16_t save(const SaveRequest& req) const;

    // --- region ---
    // The region set on the picture: operations change only the pixels
    // inside it. It describes the picture, so a new picture (another
    // document or another page) drops it, and the floater with it.
    bool hasRegion() const { return !region_.isEmpty(); }
    const Region* region() const { return region_.isEmpty() ? nullptr : &region_; }
    void setRegion(const Region& r);
    void clearRegion() { setRegion(Region()); }
    // Changes with every change of the region (views redraw its outline).
    uint64_t regionRevision() const { return regionRevision_; }
    // Moves the region by whole pixels.
    void offsetRegion(int dx, int dy);
    // A new region handle holding a copy of the region; 0 when there is none.
    int32_t regionHandle() const;
    // The region a region handle holds, with the handle's origin placed at
    // (x, y); mode 1 replaces the region. Throws EngineError 20002 for an
    // empty document or a handle holding nothing, 20013 for another mode.
    void setRegionFromHandle(int32_t handle, int x, int y, int mode);

    // --- the floater ---
    // A lifted copy of the region's pixels (regions/floater.h); it belongs
    // to the picture like the region.
    bool hasFloater() const { return !floater_.isNull(); }
    const Floater& floater() const { return floater_; }
    // Lifts the pixels inside the region from the bitmap `sourceHandle`
    // names. kErrBadParam without a region or when the region misses the
    // bitmap; throws EngineError 20002 for a handle naming nothing.
    int16_t liftFloater(uint32_t sourceHandle);
    void dropFloater();
    // Handle naming the floater's bitmap (0 when there is none); putting it
    // into a document carries the floater's region along.
    uint32_t floaterHandle() const;

    // --- which picture ---
    // Changes when the page shown becomes another picture (setDocument,
    // emptying, a page turn).
    uint64_t pictureId() const { return pictureId_; }
    // Changes with every change of the page shown (each listener call).
    uint64_t serial() const { return serial_; }
    // The part of the page shown that the change being told about touched
    // (empty: all of it); meaningful while the listener runs.
    const RectI& changedArea() const { return changedArea_; }

    // --- operations on the page shown ---
    // Runs `op` on the page shown (with the region, when one is set) and
    // keeps the result only when it returns kOk, so a failed operation
    // leaves the picture as it was. Returns the operation's code, or
    // kErrBadHandle when the document is empty or its page shown was
    // replaced while the operation ran (the result is then dropped).
    using PageOp = std::function<int16_t(Bitmap& page, const Region* region)>;
    int16_t applyToPage(const PageOp& op);
    // Operations several callers share (the visible control and the hidden
    // stores): combine (322) puts w × h pixels of the bitmap `srcHandle`
    // names at (dx, dy), changing only pixels inside this document's region;
    // greyscale (275) converts to `bits` grey; createBitmap (302) replaces
    // the document with one new white page.
    int16_t combine(double dx, double dy, double w, double h, uint32_t srcHandle, double sx, double sy, int op,
                    const ProgressFn& progress = {});
    int16_t greyscale(int bits, const ProgressFn& progress = {});
    int16_t createBitmap(int width, int height, int bits);

    // --- geometry of the page shown (document_geometry.cpp) ---
    // The whole bitmap changes; the region, when set, travels with the
    // pixels (ops/geometry.h). Flip (274), reverse (284), rotate (293),
    // shear (301), resize (307). fill (297) colours the region's pixels
    // (the whole page without one).
    int16_t flip(const ProgressFn& progress = {});
    int16_t reverse(const ProgressFn& progress = {});
    int16_t rotate(int hundredths, bool enlarge, uint32_t fill, const ProgressFn& progress = {});
    int16_t shear(int hundredths, bool horizontal, uint32_t fill, const ProgressFn& progress = {});
    int16_t resize(int width, int height, int flags, const ProgressFn& progress = {});
    int16_t fill(uint32_t colour, const ProgressFn& progress = {});
    // Gives the page shown the palette of the bitmap `handle` names, when
    // both have palettes of the same depth (a copy of a palette picture
    // keeps its colours). kErrBadParam otherwise.
    int16_t adoptPalette(uint32_t handle);

    // --- animation settings (document_animation.cpp) ---
    bool animationLoop() const { return doc_.animation.loop; }
    void setAnimationLoop(bool on) { doc_.animation.loop = on; }
    // The canvas: its size (the frames' extent until one is set), colour
    // depth, background colour (0x00BBGGRR, or 0x1000000 | i for entry i
    // of the animation palette) and palette (entries read as 0 past its end;
    // putting one past its end lengthens it, up to 256 entries, else
    // EngineError 20013).
    int animationWidth() const;
    void setAnimationWidth(int w);
    int animationHeight() const;
    void setAnimationHeight(int h);
    int animationBits() const { return doc_.animation.bpp; }
    void setAnimationBits(int bits) { doc_.animation.bpp = bits; }
    uint32_t animationBackColor() const { return doc_.animation.backColor; }
    void setAnimationBackColor(uint32_t colour);
    uint32_t animationPalette(int index) const;
    void setAnimationPalette(int index, uint32_t colour);
    // The settings of the frame shown: position on the canvas, delay in
    // milliseconds, disposal (0–3, else EngineError 20013), transparency
    // and its colour; and its palette (as the animation palette's, up to
    // 2^depth entries). All throw EngineError 20002 when empty.
    int frameLeft() const;
    void setFrameLeft(int left);
    int frameTop() const;
    void setFrameTop(int top);
    int frameDelay() const;
    void setFrameDelay(int ms);
    int frameDisposal() const;
    void setFrameDisposal(int disposal);
    bool frameTransparent() const;
    void setFrameTransparent(bool on);
    uint32_t frameTransparentColour() const;
    void setFrameTransparentColour(uint32_t colour);
    uint32_t bitmapPalette(int index) const;
    void setBitmapPalette(int index, uint32_t colour);
    // Reduces every frame to `bits` with `colours` colours (0: 2^bits),
    // for 8 bits or fewer to one palette, which becomes the animation
    // palette; see ops::colourResolutionList. Frames keep their transparent
    // colour where the new palette holds it. A failure changes nothing.
    int16_t colourResolutionList(int bits, int options, int dither, int colours, const ProgressFn& progress = {});

    // --- animation playback (document_animation.cpp) ---
    // The frames drawn one after another on the canvas (core/animation.h).
    // Playback belongs to the picture: another picture or a page turn stops
    // it and drops the canvas.
    bool animationPlaying() const { return playing_; }
    // On: shows the first frame on an empty canvas (stays off for an
    // empty document or a canvas that cannot be made). Off: stops, the
    // view goes back to the page. A single run that ends by itself leaves
    // its last canvas on view until the picture or a setting changes.
    void setAnimationPlaying(bool on);
    // Shows the next frame; at the end starts again when looping, else
    // stops (and returns false).
    bool advanceAnimation();
    // The frame on the canvas and how long it stays (ms, as players wait).
    int playFrame() const;
    int playDelay() const;
    // The canvas on view (32-bit with alpha), null when the page is.
    const Bitmap* animationCanvas() const;
    // The view goes back to the page (nothing when playing).
    void dropAnimationCanvas();

    // --- the whole list ---
    const Document& document() const { return doc_; }
    Document& mutableDocument() { return doc_; }
    // Replaces the whole list (as a load does) and shows page 0.
    void setDocument(Document doc);

private:
    void requireImage() const;
    void changed(Change c);
    // The page shown is another picture: its region and floater go.
    void newPicture();
    using GeometryOp = std::function<int16_t(Bitmap& page, Region* region)>;
    int16_t transformPage(const GeometryOp& op);
    // Puts in a picture a plain load read from `path` (its file's time and
    // size before the read in `stamp`, when known), handing the picture it
    // replaces, as its file gave it, to the read-ahead.
    struct FileStamp {
        bool known = false;
        int64_t mtime = 0, size = 0;
    };
    FileStamp stampBeforeLoad(const std::string& path) const;
    void putLoaded(Document doc, const std::string& path, const FileStamp& stamp);

    Document doc_;
    int index_ = 0;
    uint32_t handle_ = 0;
    std::string source_;
    ReadAhead* readAhead_ = nullptr;
    // The picture as the plain load of source_ gave it (sharing the pixels
    // until they change), with its file's stamp: handed to the read-ahead
    // when another picture is loaded, so that turning back costs no decode.
    Document asLoaded_;
    FileStamp asLoadedStamp_;
    bool preLoad_ = false;
    Region region_;
    uint64_t regionRevision_ = 0;
    Floater floater_;
    mutable uint32_t floaterHandle_ = 0;
    uint64_t pictureId_ = 0;
    uint64_t serial_ = 0;
    RectI changedArea_;
    Listener listener_;
    // Playback (core/animation.h).
    std::unique_ptr<AnimationCanvas> canvas_;
    bool playing_ = false;
    Frame& shownFrame();
    const Frame& shownFrame() const;
    void stopPlayback();
};

}  // namespace qova::engine
