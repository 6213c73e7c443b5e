// The engine's save dialog: file name (with overwrite question), format,
// the bits per pixel that format writes, the quality factor where it
// applies, the stamp (thumbnail) settings and the save option.
#pragma once

#include <QDialog>

#include <functional>

#include "../core/formats/format_table.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace qova::engine {

class FilePane;

struct SaveChoice {
    QString path;
    int format = 20;
    int bits = 24;
    int quality = 85;
    int saveOption = 0;
    bool stamp = false;
    int stampWidth = 120;
    int stampHeight = 90;
    int stampBits = 24;
    // What is being saved: Bits start from it each time the format changes.
    PictureDepth picture;
};

class SaveDialog : public QDialog {
    Q_OBJECT
public:
    SaveDialog(const SaveChoice& start, QWidget* parent = nullptr);
    SaveChoice choice() const;
    // Asked before an existing file is replaced; tests replace the question.
    std::function<bool(const QString& path)> confirmOverwrite;

private:
    void accept() override;
    void formatChanged();
    void followFormat();
    // A name whose extension belongs to another format chooses that format.
    void followName();
    PictureDepth picture_;
    FilePane* pane_;
    QLineEdit* name_;
    QComboBox* format_;
    QComboBox* bits_;
    QSpinBox* quality_;
    QComboBox* option_;
    QCheckBox* stamp_;
    QSpinBox* stampW_;
    QSpinBox* stampH_;
    QComboBox* stampBits_;
};

}  // namespace qova::engine
