// The engine dialog control: the engine's own open and save dialogs and the
// parameter dialogs of the processing commands. The program puts the
// settings (filter, title, flags …), shows a dialog and reads the results
// back as properties; Cancel raises EngineError 20150.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QDialog;
class QWidget;

namespace qova::engine {

class EngineDialog : public QObject {
    Q_OBJECT
public:
    explicit EngineDialog(QObject* parent = nullptr);

    // Put before a dialog is shown.
    QString filter;        // 20: "name|patterns|name|patterns|…"
    int option16 = 0;      // 16: passed through
    QString title;         // 17
    int flags = 0;         // 5: passed through
    int saveSwitch = 0;    // 43: passed through

    // Results (also preset: a dialog starts from them).
    QString fileName;      // 18: full path chosen
    int page = 0;          // 24: first page to load (0-based)
    int loadOption = 0;    // 25: engine load option (bit 0: reduce very large photos to the screen while decoding)
    int format = 20;       // 32: engine format code
    int bits = 24;         // 31
    int quality = 85;      // 33: quality factor (see the format table)
    int saveOption = 0;    // 34: 0 replace the file, 1 add the pages to an existing multi-page file
    bool stamp = false;    // 37
    int stampBits = 24;    // 38
    int stampWidth = 120;  // 39
    int stampHeight = 90;  // 40
    // The picture a save is for, put before the save dialog: its Bits start
    // at this depth where the format writes it (grey levels told apart from
    // colour), else at the format's richest colour. 0: not known.
    int pictureBits = 0;
    bool pictureGrey = false;

    // --- parameter dialogs of the processing commands (their properties) ---
    // Put before, read after; ranges in core/ops/ranges.h. A start value
    // outside its range opens the dialog at the operation's usual value.
    // The picture they preview is `bitmap` (11, below; 0: no preview).
    int effectValue = 0;    // 55: the one value of the effect dialog
    int gammaValue = 0;     // 50: gamma in hundredths
    int detectLow = 0;      // 52
    int detectHigh = 0;     // 53
    int embossValue1 = 0;   // 44: light direction, degrees
    int embossValue2 = 0;   // 45: depth
    int noiseValue1 = 0;    // 47: amount, percent
    int noiseValue2 = 0;    // 48: channel (0 all, 1 red, 2 green, 3 blue)
    // Results only (the dialogs start from the picture, not from these).
    int colourBits = 0;     // 12
    int paletteKind = 0;    // 13
    int dithering = 0;      // 14
    int filterNumber = 0;   // 58

    // --- rotate/shear dialog (its properties) ---
    int angle = 0;                   // 1: hundredths of a degree, clockwise
    bool angleOption = false;        // 3: rotate: enlarge the bitmap; shear: horizontal
    uint32_t fillColour = 0xFFFFFF;  // 114: uncovered corners, 0x00BBGGRR
    // 11: the picture a dialog previews (0 = none); the processing
    // dialogs read it too.
    uint32_t bitmap = 0;

    // Which dialog a test's answer hook is given.
    enum class Kind {
        Open,
        Save,
        // parameter dialogs of the processing commands
        Effect,
        Gamma,
        IntensityDetect,
        ColourResolution,
        Emboss,
        AddNoise,
        SpatialFilter,

        // rotate/shear dialog
        Rotate,

        // animation palette optimisation

        // scanner dialogs (image_control_output.cpp): the source list, the scan settings
        ScanSource,
        ScanSettings,
    };
    void showOpen(QWidget* owner);  // 28
    void showSave(QWidget* owner);  // 42
    // --- show methods of the parameter dialogs (processing) ---
    // Each shows its dialog modally over `owner` and puts the chosen values
    // into its properties; Cancel raises 20150 and changes none of them.
    // The effect dialog raises 20013 when the flags choose no variant.
    void showEffect(QWidget* owner);            // 57, variant by flags
    void showGamma(QWidget* owner);             // 51
    void showIntensityDetect(QWidget* owner);   // 54
    void showColourResolution(QWidget* owner);  // 15
    void showEmboss(QWidget* owner);            // 46
    void showAddNoise(QWidget* owner);          // 49
    void showSpatialFilter(QWidget* owner);     // 60, families by flags

    // --- show method of the rotate/shear dialog ---
    // 2: flags 4 ask a shear angle, anything else a rotation; with bit
    // 0x40000000 and a bitmap the dialog offers the fill colour and a preview.
    void showRotate(QWidget* owner);


    // Tests answer dialogs through this hook: it receives the built dialog
    // (controls reachable by objectName) and returns true for OK, false for
    // Cancel. Users get the real modal dialog when no hook is set.
    using AnswerHook = std::function<bool(QDialog&, Kind)>;
    static void setAnswerHook(AnswerHook hook);

    // The rows of a filter text, as (name, patterns) pairs.
    static QList<QPair<QString, QStringList>> parseFilter(const QString& filter);

    static bool runDialog(QDialog& d, Kind kind);
};

}  // namespace qova::engine
