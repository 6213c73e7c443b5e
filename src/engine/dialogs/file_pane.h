// A folder browser shared by the engine's open and save dialogs: a path
// box, an "up" button and the folder's entries filtered by patterns.
#pragma once

#include <QWidget>

class QFileSystemModel;
class QLineEdit;
class QTreeView;

namespace qova::engine {

class FilePane : public QWidget {
    Q_OBJECT
public:
    explicit FilePane(QWidget* parent = nullptr);
    void setDirectory(const QString& dir);
    QString directory() const { return dir_; }
    void setPatterns(const QStringList& patterns);

signals:
    void fileSelected(const QString& path);   // single click or arrow keys
    void fileActivated(const QString& path);  // double click or Enter

private:
    void onActivated(const QModelIndex& index);
    QFileSystemModel* model_;
    QTreeView* list_;
    QLineEdit* path_;
    QString dir_;
};

}  // namespace qova::engine
