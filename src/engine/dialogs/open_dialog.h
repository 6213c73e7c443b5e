// The engine's open dialog: formats from the filter rows, the folder's
// files, a preview of the selected file with its size, depth and pages, a
// page chooser for multi-page files and the load option.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace qova::engine {

class FilePane;
class ImageControl;

class OpenDialog : public QDialog {
    Q_OBJECT
public:
    OpenDialog(const QList<QPair<QString, QStringList>>& filters, const QString& startPath, int page, int loadOption,
               QWidget* parent = nullptr);
    QString filePath() const;
    int page() const;
    int loadOption() const;
    // Shows `path` in the preview and the page chooser (also used by tests).
    void selectFile(const QString& path);

private:
    void accept() override;
    // The preview, facts and page range of a file (the name box untouched).
    void showFile(const QString& path);
    void nameTyped();
    FilePane* pane_;
    QComboBox* types_;
    QLineEdit* name_;
    ImageControl* preview_;
    QLabel* info_;
    QSpinBox* page_;
    QCheckBox* reduce_;
    QList<QPair<QString, QStringList>> filters_;
};

}  // namespace qova::engine
