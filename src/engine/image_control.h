// The image engine control: the one facade the program talks to. It holds a
// document (core/document.h: the pages or frames of a file, the last load,
// the handle) and is the view of it (rectangles, painting, scrolling, the
// pan window, input). Members carry the role names the application uses;
// dispatch_ids.h names the dispatch ids, and each feature area's .cpp file
// maps its ids to members (control_dispatch.h).
//
// Files: image_control.cpp (document and load/save), image_control_view.cpp
// (view, painting, input, pan window), image_control_dispatch.cpp (dispatch
// by id over the areas' tables). A new feature area adds its members in a
// section of its own below and an image_control_<area>.cpp file.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QRect>
#include <QString>
#include <QTransform>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QMouseEvent;
class QPainter;
class QTimer;

namespace qova::engine {

class Bitmap;
class ImageDocument;
class PanWindow;
class ReadAhead;
struct ScanMemory;
struct Document;
struct Frame;
struct LoadInfo;
namespace dispid {
struct Entry;
}

class ImageControl : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum ViewMode { ViewNormal = 0, ViewStretch = 1, ViewZoomed = 2, ViewFit = 3 };
    enum CoordinateUnit { UnitTwips = 1, UnitPixels = 3 };

    explicit ImageControl(QWidget* parent = nullptr);
    ~ImageControl() override;

    // --- bitmap (ids 1, 10, 11, 12) ---
    // Handle naming the current bitmap (0 when empty); putting one copies the
    // bitmap it names into the current page, 0 empties the control.
    uint32_t bitmapHandle() const;
    void setBitmapHandle(uint32_t handle);
    // Throw EngineError 20002 when the control holds no bitmap.
    int bitmapWidth() const;
    int bitmapHeight() const;
    int bitsPerPixel() const;
    bool isEmpty() const;

    // --- pages (ids 133, 134, 392) ---
    int bitmapListIndex() const;
    void setBitmapListIndex(int index);  // throws 20013 out of range
    int bitmapListCount() const;
    // Inserts a copy of the bitmap named by `handle` at `position` (−1 = end).
    void insertBitmapListItem(int position, uint32_t handle);

    // --- last load (ids 40, 41, 42, 44) ---
    int infoWidth() const;
    int infoHeight() const;
    int infoBits() const;
    double infoSize() const;

    // --- load and save (ids 310, 148, 132, 153, 289, 330) ---
    int16_t load(const QString& path, int bpp, int page, int pageCount);
    bool preLoad() const;
    void setPreLoad(bool on);
    // Bit 0: reduce very large JPEG photos to the screen size while decoding.
    // Like the pre-load flag it serves the next load only (a load clears it).
    int loadOption() const { return loadOption_; }
    void setLoadOption(int v) { loadOption_ = v; }
    // Decodes these files in the background so a later load of one of them
    // (whole file, own depth) is served at once; nothing without a read-ahead.
    void readAhead(const QStringList& paths);
    // The same, telling the size this view will paint each picture at once
    // it is shown (an empty size: its own), so that the reduced copy the
    // view paints is made in the background too. Called on the worker
    // thread: it must only read values it holds.
    void readAhead(const QStringList& paths, std::function<QSize(QSize picture)> viewSize);
    // The read-ahead to use (owned elsewhere, by the window; null: none).
    void setReadAhead(ReadAhead* readAhead);
    // Called during a plain load of a picture much larger than the view
    // once a reduced preview of it is ready to paint: the owner makes the
    // control visible and paints it (repaint()). The control's picture,
    // and so every command, stays the one before until the whole picture
    // is decoded. Null (the default): no preview.
    void setPreviewShown(std::function<void()> shown) { previewShown_ = std::move(shown); }
    // The preview being shown (null outside a load with a preview; tests).
    QImage previewImage() const;
    QString imageSource() const;
    void setImageSource(const QString& path);  // "" empties the control
    int16_t saveFile(const QString& path, int format, int bpp, int quality, int saveOption);
    int16_t saveFileWithStamp(const QString& path, int format, int bpp, int quality, float stampWidth,
                              float stampHeight, int stampBits);

    // --- view (ids 154, 323–326, 60, 61, 56, 285) ---
    int viewMode() const { return viewMode_; }
    void setViewMode(int mode);
    void setSourceRect(double left, double top, double width, double height);
    void setSourceClipRect(double left, double top, double width, double height);
    void setDisplayRect(double left, double top, double width, double height);
    void setDisplayClipRect(double left, double top, double width, double height);
    QRectF sourceRect() const { return srcRect_; }
    QRectF displayRect() const { return dstRect_; }
    QRectF displayClipRect() const { return dstClip_; }
    double controlWidthPx() const;
    double controlHeightPx() const;
    int coordinateUnit() const { return unit_; }
    void setCoordinateUnit(int unit);
    void repaint();

    // --- pan window (ids 254–257, 259, 440) ---
    // Left and top are put in the coordinate unit; width and height read in
    // pixels (the window's own size) and are put in the coordinate unit.
    double panWindowLeft() const;
    void setPanWindowLeft(double v);
    double panWindowTop() const;
    void setPanWindowTop(double v);
    double panWindowWidth() const;
    void setPanWindowWidth(double v);
    double panWindowHeight() const;
    void setPanWindowHeight(double v);
    void setPanWindowTitle(const QString& title);
    void showPanWindow(bool show);
    PanWindow* panWindow() const;

    // The part of the bitmap the view shows, in bitmap pixels, and scrolling
    // so that a bitmap point comes to the view's top-left corner.
    QRectF visibleBitmapRect() const;
    void scrollToBitmapPoint(QPointF p);
    // The whole shown bitmap reduced (area-averaged) to `size`.
    QImage reducedPicture(QSize size) const;

    // --- progress (id 7) ---
    bool progressEnabled() const { return progressEnabled_; }
    void setProgressEnabled(bool on) { progressEnabled_ = on; }

    // --- animation settings (id 149) ---
    bool animationLoop() const;
    void setAnimationLoop(bool on);

    // --- geometry (id 307) ---
    // Resizes the shown bitmap to width × height (proportions not kept;
    // named apart from QWidget::resize, which sizes the control);
    // flags 0 takes the nearest pixel, 1 resamples. Returns the engine code.
    int16_t resizeBitmap(double width, double height, int flags);
    // Shared with the hidden stores (see ImageDocument): combine (322),
    // greyscale (275), create bitmap (302). Return the engine code.
    int16_t combine(double dx, double dy, double w, double h, uint32_t srcHandle, double sx, double sy, int op);
    int16_t greyscale(int bits);
    int16_t createBitmap(int width, int height, int bits);

    // --- clipboard (id 308) ---
    void copyToClipboard(int flags);

    // Direct access for the engine's own dialogs, operations and tests.
    ImageDocument& imageDocument();
    const ImageDocument& imageDocument() const;
    const Document& document() const;
    Document& mutableDocument();
    // Replaces the whole list (as a load does) and shows page 0.
    void setDocument(Document doc);
    // The page shown (empty Bitmap when none).
    const Bitmap& currentBitmap() const;
    // Replaces the shown page's pixels and refreshes the view.
    void setCurrentBitmap(const Bitmap& b);
    // Tells the view that the shown bitmap's pixels changed.
    void bitmapChanged();

    // Call log by dispatch id, for tests that check the order of engine calls.
    void setCallLogEnabled(bool on);
    const std::vector<int>& callLog() const { return callLog_; }
    void clearCallLog() { callLog_.clear(); }

    // Generic access through a dispatch id (see dispatch_ids.h).
    QVariant dispatch(int id, const QVariantList& args = {});
    void dispatchPut(int id, const QVariant& value);
    // Every id the areas answer, with the member it reaches.
    static std::vector<dispid::Entry> dispatchTable();

    // --- processing (image_control_ops.cpp) ---
    // The colour, tone, effect and filter operations on the page shown
    // (within the region, when one is set), reporting progress; ranges in
    // core/ops/ranges.h. Each returns the engine code; a failed operation
    // leaves the picture as it was. Greyscale (275) is above.
    int16_t brightness(int value);                       // 278
    int16_t contrast(int value);                         // 272
    int16_t saturation(int value);                       // 283
    int16_t histogramContrast(int value);                // 328
    int16_t hue(int degrees);                            // 277
    int16_t halftone(int kind, int angle);               // 306
    int16_t gammaCorrect(int hundredths);                // 300
    int16_t intensityDetect(int low, int high);          // 296
    int16_t colourResolution(int bits, int options, int dither, int colours);  // 317
    int16_t invert();                                    // 279
    int16_t histogramEqualise();                         // 276
    int16_t stretchIntensity();                          // 298
    int16_t posterize(int levels);                       // 290
    int16_t mosaic(int size);                            // 286
    int16_t average(int radius);                         // 270
    int16_t median(int radius);                          // 271
    int16_t sharpen(int amount);                         // 282
    int16_t addNoise(int amount, int channel);           // 295
    int16_t emboss(int direction, int depth);            // 294
    int16_t oilify(int radius);                          // 412
    int16_t solarize(int threshold);                     // 408
    int16_t spatialFilter(int filter);                   // 287
    // Number of distinct colours of the page shown (391); throws EngineError
    // 20002 when the control is empty.
    int32_t countColours();
    // Computes the histogram of a channel (316: 0 luminance, 1 red, 2 green,
    // 3 blue) of the whole page shown; histogramCount (445) then reads the
    // pixel count of a level 0..255 from it (0 before any, or for a level
    // out of range; saturated at the 32-bit maximum).
    int16_t computeHistogram(int channel);
    int32_t histogramCount(int level) const;
    // Reports a long operation's progress as this control does (the
    // progress signal, while progress notifications are enabled), for work a
    // command does elsewhere on its behalf (a scratch store).
    std::function<void(int percent)> progressReporter();

private:
    std::vector<uint64_t> histogram_;  // the histogram last computed (316)

public:

    // --- regions and the floater (image_control_regions.cpp) ---
    // Bitmap coordinates (region, floater size, point in region) are bitmap
    // pixels; control coordinates (display and floater rectangles, repaint
    // rectangle) are in the coordinate unit in force.
    bool greyscaleFlag() const;                    // 98
    bool hasRegion() const;                        // 99
    double regionLeft() const;                     // 100–103: the region's box
    double regionTop() const;
    double regionWidth() const;
    double regionHeight() const;
    // 0 off; 1 rectangle, 2 rounded rectangle, 3 ellipse, 4 freehand: the
    // next left-button drag is tracked with an outline of that shape and
    // sets the region (regionSet() follows).
    int regionTrackingShape() const;               // 104
    void setRegionTrackingShape(int shape);
    int regionFrameStyle() const;                  // 105: 0 hidden, 2 shown (marching ants)
    void setRegionFrameStyle(int style);
    // Putting a bitmap handle lifts the region's pixels from that bitmap
    // into the floater; reading gives the floater's handle; 0 drops it.
    uint32_t floaterBitmap() const;                // 106
    void setFloaterBitmap(uint32_t handle);
    bool floaterVisible() const;                   // 107
    void setFloaterVisible(bool on);
    double floaterLeft() const;                    // 108–111: where the floater shows
    double floaterTop() const;
    double floaterWidth() const;
    double floaterHeight() const;
    int floaterBitmapWidth() const;                // 116, 117: its size in bitmap pixels
    int floaterBitmapHeight() const;
    // Where the bitmap is painted (21–24) and the size of the bitmap part
    // painted there (31, 32), whatever the view mode.
    double displayLeft() const;
    double displayTop() const;
    double displayWidth() const;
    double displayHeight() const;
    double sourceWidth() const;
    double sourceHeight() const;
    int16_t deleteRegionHandle(int32_t handle);    // 360
    void freeRegion();                             // 361
    int32_t regionHandle() const;                  // 363: a new handle with a copy of the region
    bool pointInRegion(double x, double y) const;  // 364
    void offsetRegion(double dx, double dy);       // 365
    void setRegionFromHandle(int32_t handle, double x, double y, int mode);  // 367
    int32_t floaterRegionHandle() const;           // 372
    void setFloaterDisplayRect(double left, double top, double width, double height);  // 373
    void repaintRect(double left, double top, double width, double height, bool erase);  // 376
    // Geometry of the whole bitmap; a region travels with the pixels.
    // Return the engine code.
    int16_t flip();                                // 274
    int16_t reverse();                             // 284
    int16_t rotate(int hundredths, bool enlarge, uint32_t colour);     // 293
    int16_t shear(int hundredths, bool horizontal, uint32_t colour);   // 301
    // Fills the region's pixels, or the whole bitmap without a region.
    int16_t fill(uint32_t colour);                 // 297
Q_SIGNALS:
    // The region-set notification: raised after a tracking drag set a region.
    void regionSet();
    // The page shown became another picture; its region and floater are gone.
    void pictureReplaced();

private:
    void regionsFollowDocument();
    void regionsMousePress(QMouseEvent* e);
    void regionsMouseMove(QMouseEvent* e);
    bool regionsMouseRelease(QMouseEvent* e);
    void paintRegions(QPainter& p);
    void regionChanged();
    void antsTick();
    // Bitmap pixels to viewport pixels and back, for the view as it is now.
    QTransform bitmapToViewport() const;

public:

    // --- animation playback (image_control_animation.cpp) ---
    // The control plays the animation itself: each frame drawn on the
    // canvas (core/animation.h) at its delay, timed against a monotonic
    // clock so that the rate holds over a long run (a 20 ms delay gives 50
    // frames a second). While it plays, and after a single run ended until
    // the picture, a setting or a click changes that, the view shows the
    // canvas over the background colour.
    bool animationPlaying() const;                 // 135
    void setAnimationPlaying(bool on);
    // The frame shown (bitmap list index): position, delay, disposal,
    // transparency. Reads throw EngineError 20002 when empty.
    double frameLeft() const;                      // 136
    void setFrameLeft(int16_t left);
    double frameTop() const;                       // 137
    void setFrameTop(int16_t top);
    int32_t frameDelay() const;                    // 138: milliseconds
    void setFrameDelay(int32_t ms);
    int16_t frameDisposal() const;                 // 145: the GIF codes 0–3
    void setFrameDisposal(int16_t disposal);
    bool frameTransparent() const;                 // 143
    void setFrameTransparent(bool on);
    uint32_t frameTransparentColour() const;       // 144: 0x00BBGGRR
    void setFrameTransparentColour(uint32_t colour);
    // The canvas.
    double animationWidth() const;                 // 139
    void setAnimationWidth(int16_t width);
    double animationHeight() const;                // 140
    void setAnimationHeight(int16_t height);
    uint32_t animationBackColor() const;           // 141: 0x00BBGGRR, or 0x1000000 | palette entry
    void setAnimationBackColor(uint32_t colour);
    int16_t animationBits() const;                 // 142
    void setAnimationBits(int32_t bits);
    // Palettes by entry: the animation's and the shown frame's.
    uint32_t animationPalette(int index) const;    // AnimationPalette
    void setAnimationPalette(int index, uint32_t colour);
    uint32_t bitmapPalette(int index) const;       // BitmapPalette
    void setBitmapPalette(int index, uint32_t colour);
    // Reduces every frame of the list to `bits` (8 or fewer: one shared
    // palette of `colours` entries, 0 = 2^bits) with progress; the engine
    // code comes back.
    int16_t colourResList(int bits, int options, int dither, int colours);  // ColorResList
Q_SIGNALS:
    // The animation notification: playing started or stopped (a single run
    // reached its end, or another picture stopped it).
    void animationNotify();
    // A frame came on view while playing (its list index).
    void animationFrameShown(int frame);

private:
    void playTick();
    void schedulePlayTick();
    // Stops the clock when the document stopped playing.
    void animationFollowDocument();
    void paintCanvas(QPainter& p, const Bitmap& canvas);
    // Where the canvas is drawn (content coordinates) and the content size.
    std::pair<QRectF, QSize> canvasLayout(const Bitmap& canvas) const;
    QTimer* playTimer_ = nullptr;
    int64_t playDueNs_ = 0;  // when the next frame is due (monotonic clock)

public:

    // --- display preferences (image_control_display.cpp) ---
    // How the view paints the picture. With a display palette it shows only
    // that palette's colours (as a 256-colour screen would), dithered by the
    // chosen method unless paint option 8 asks for the nearest colour. The
    // setters take effect at the next paint (repaint, 285); out-of-range
    // values throw EngineError 20013.
    int ditheringMethod() const;           // 6: 0 ordered (pattern), 1 error diffusion
    void setDitheringMethod(int method);
    int paintOption8() const;              // 8: 0 dithers; any other value takes the nearest colour
    void setPaintOption8(int value);
    int paintPalette() const;              // 19: 0 none, 1 fixed (256 colours), 2 or 3 browser (216)
    void setPaintPalette(int palette);

    // --- printing, scanning, capture (image_control_output.cpp) ---
    // Draws the shown bitmap into `painter` at (left, top), width × height
    // painter units (on a printer set to 300 dpi: 1/300 inch), resampled to
    // that grid and drawn in bands with progress (303). Returns the engine
    // code: 20002 when empty, 20013 without an active painter, 20011 for a
    // size out of range, 20001 short of memory.
    int16_t renderToDevice(QPainter* painter, double left, double top, double width, double height);
    // Scanners through SANE, answering with the TWAIN codes (20079 no SANE,
    // 20082 no device, 20083 busy, 20084 device failure, 20090 cancelled).
    // The source choice lists the devices in a dialog and keeps the choice
    // for the run (281); acquiring opens the chosen device (the first one
    // when none was chosen), asks for mode, resolution and area in a dialog
    // and scans with a progress box into a new one-page picture (280).
    int16_t selectTwainSource(QWidget* owner);
    int16_t acquireTwain(QWidget* owner);
    // The device the source choice picked ("" until one was picked).
    QString twainSource() const;
    // Grabs width × height screen pixels at (left, top) of the window
    // `window` (0: the whole screen) into a new one-page picture at the
    // screen's depth (318). 20011 for an empty size, 20000 when the screen
    // cannot be read.
    int16_t capture(quint64 window, double left, double top, double width, double height);

    // --- data binding (image_control_data.cpp) ---
    // The field of the data control's current record the control shows (91;
    // "" detaches it), the binding option (95), and how the picture goes into
    // the field when a record is written: bits per pixel (92), format code
    // (93) and quality factor (94) of the engine's save.
    QString dataField() const;
    void setDataField(const QString& field);
    int dataBindingOption() const;
    void setDataBindingOption(int option);
    int dataStorageBits() const;
    void setDataStorageBits(int bits);
    int dataStorageFormat() const;
    void setDataStorageFormat(int format);
    int dataStorageQuality() const;
    void setDataStorageQuality(int quality);
    // The field's value when a record is written: the page shown encoded
    // with the storage settings in force; empty when the control is empty.
    // Throws EngineError with the save's code when it cannot be encoded.
    QByteArray dataPicture() const;
    // Shows the picture a field holds. Empty bytes, or bytes that do not
    // decode, leave the control empty (never the previous record's picture);
    // returns the load's code.
    int16_t setDataPicture(const QByteArray& bytes);
    // The same with a picture already decoded (see picture_data.h).
    void setDataDocument(Document doc);

private:
    QString dataField_;
    int dataBindingOption_ = 0;
    int dataStorageBits_ = 24;
    int dataStorageFormat_ = 20;
    int dataStorageQuality_ = -4;

public:

    // Tests make engine calls fail: `hook` runs with the dispatch id at the
    // start of every call this control logs, and may throw. Null removes it.
    void setCallHook(std::function<void(int id)> hook);
    // Records one call by dispatch id (call log and hook); members call it
    // first thing, the areas' tables for the puts of plain properties.
    void log(int id) const;

    // Converts a position in control pixels to the coordinate unit in force.
    double toUnit(double pixels, bool horizontal) const;
    double fromUnit(double value, bool horizontal) const;

signals:
    // Percent done of a long operation: 0 first, then rising, 100 last.
    void progress(int percent);
    // Key and mouse events with Windows virtual-key numbers and positions in
    // the coordinate unit (twips by default).
    void keyDown(int virtualKey, int shift);
    void keyUp(int virtualKey, int shift);
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void mouseUp(int button, int shift, double x, double y);
    void clicked();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
    // Follows a change of the document in the view.
    void documentChanged(int change);
    // Keeps a reduced copy made ahead for the picture just loaded.
    void keepViewCopy(const Bitmap& copy);
    // Paints `small`, the preview of a width × height picture, fitted to `view`.
    void showPreview(const Bitmap& small, int width, int height, QSize view);
    void reportProgress(int percent);
    void paintPicture(QPainter& p);
    void updateScrollBars();
    // `pixelsChanged` false: only the view mode or rectangles changed.
    void invalidateView(bool pixelsChanged = true);
    // After the pixels of one bitmap rectangle changed: remakes only that
    // part of the reduced picture and repaints only there. False when the
    // view cannot be touched up that way (invalidateView then).
    bool patchView(int x, int y, int w, int h);
    // Points the four view rectangles at the whole shown bitmap.
    void resetRects();
    QSize screenSize() const;
    // (source rectangle in bitmap pixels, target rectangle in content pixels)
    std::pair<QRectF, QRectF> viewLayout() const;

    QRectF srcRect_, srcClip_, dstRect_, dstClip_;
    int viewMode_ = ViewNormal;
    int unit_ = UnitTwips;
    int loadOption_ = 0;
    ReadAhead* readAhead_ = nullptr;
    std::function<void()> previewShown_;
    bool progressEnabled_ = false;
    bool callLogEnabled_ = false;
    mutable std::vector<int> callLog_;
    std::function<void(int)> callHook_;
    // Output: the chosen scanner and the settings last used on each device.
    std::shared_ptr<ScanMemory> scanMemory_;
    // Puts an acquired or captured picture in place of the document.
    void showAcquired(const Bitmap& b);
};

}  // namespace qova::engine
