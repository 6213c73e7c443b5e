// Copy dialog Form4: a preview of the file already at the copy's target,
// a name box and OK. Loading it clears the two process-wide results; OK sets
// them; closing it any other way leaves fCopyConfirmed at 0.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace qova::engine {
class ImageControl;
}

namespace qova::files {

// Process-wide results of Form4 (the toolbar's copy reads them).
struct CopyResult {
    static int16_t& confirmed();  // fCopyConfirmed: −1 after OK
    static QString& name();       // sCopyName
};

class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);
    ~Form4() override;
    QLineEdit* Text1;
    engine::ImageControl* Img1;
    QPushButton* Command1;
    // Loads `path` into the preview and fits it by the display rectangles.
    void showPreview(const QString& path);
    // Puts the preview beside the question a message box will ask over
    // `owner` (centred on it), so the box does not hide the picture.
    void placeBesideQuestion(QWidget* owner);

private:
    void Command1_Click();
};

}  // namespace qova::files
