#include "file_pane.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QHeaderView>
#include <QTreeView>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace qova::engine {

FilePane::FilePane(QWidget* parent) : QWidget(parent) {
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDot);
    model_->setNameFilterDisables(false);
    path_ = new QLineEdit(this);
    path_->setObjectName("DirPath");
    auto* up = new QToolButton(this);
    up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up->setToolTip("上のフォルダ");
    // A details view: whole names, with size and date beside them.
    list_ = new QTreeView(this);
    list_->setObjectName("FileList");
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setSortingEnabled(true);
    list_->sortByColumn(0, Qt::AscendingOrder);
    list_->setColumnHidden(2, true);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setStretchLastSection(false);

    auto* top = new QHBoxLayout;
    top->addWidget(path_);
    top->addWidget(up);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addLayout(top);
    v->addWidget(list_);

    connect(up, &QToolButton::clicked, this, [this] {
        QDir d(dir_);
        if (d.cdUp()) setDirectory(d.absolutePath());
    });
    connect(path_, &QLineEdit::returnPressed, this, [this] {
        if (QFileInfo(path_->text()).isDir()) setDirectory(path_->text());
        else path_->setText(dir_);
    });
    connect(list_, &QTreeView::activated, this, &FilePane::onActivated);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& i) {
        if (i.isValid() && !model_->isDir(i)) emit fileSelected(model_->filePath(i));
    });
}

void FilePane::onActivated(const QModelIndex& index) {
    if (!index.isValid()) return;
    if (model_->isDir(index)) {
        setDirectory(QDir(model_->filePath(index)).absolutePath());
        return;
    }
    emit fileActivated(model_->filePath(index));
}

void FilePane::setDirectory(const QString& dir) {
    dir_ = QDir(dir).absolutePath();
    path_->setText(QDir::toNativeSeparators(dir_));
    model_->setRootPath(dir_);
    list_->setRootIndex(model_->index(dir_));
}

void FilePane::setPatterns(const QStringList& patterns) {
    // File names on Linux keep their case; "*.jpg" should still find PHOTO.JPG.
    QStringList p;
    for (const QString& pat : patterns) {
        if (pat == "*.*" || pat == "*") { p = {"*"}; break; }
        QString ci;
        for (QChar c : pat) ci += c.isLetter() ? QString("[%1%2]").arg(c.toLower()).arg(c.toUpper()) : QString(c);
        p << ci;
    }
    model_->setNameFilters(p);
}

}  // namespace qova::engine
