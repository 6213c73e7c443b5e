#include "spatial_filter_dialog.h"

#include <QListWidget>

#include "engine/core/ops/filters.h"

namespace qova::engine {

namespace {

using namespace ops;

struct Family {
    int flag;
    const char* name;
    QList<QPair<const char*, int>> filters;
};

const QList<Family>& families() {
    static const QList<Family> all = {
        {0x01, "ｸﾞﾗｼﾞｴﾝﾄ",
         {{"北", kFilterGradientN}, {"北東", kFilterGradientNE}, {"東", kFilterGradientE}, {"南東", kFilterGradientSE},
          {"南", kFilterGradientS}, {"南西", kFilterGradientSW}, {"西", kFilterGradientW}, {"北西", kFilterGradientNW}}},
        {0x02, "ﾗﾌﾟﾗｼｱﾝ法",
         {{"8 近傍", kFilterLaplace8}, {"4 近傍 (上下左右)", kFilterLaplace4}, {"4 近傍 (斜め)", kFilterLaplaceDiag},
          {"5×5", kFilterLaplace5x5}}},
        {0x04, "Sobel法", {{"水平方向のｴｯｼﾞ", kFilterSobelH}, {"垂直方向のｴｯｼﾞ", kFilterSobelV}}},
        {0x08, "Prewitt法", {{"水平方向のｴｯｼﾞ", kFilterPrewittH}, {"垂直方向のｴｯｼﾞ", kFilterPrewittV}}},
        {0x10, "ｼﾌﾄ差分法",
         {{"左との差", kFilterShiftH}, {"上との差", kFilterShiftV}, {"左上との差", kFilterShiftDiag},
          {"右上との差", kFilterShiftAntiDiag}}},
        {0x20, "線要素の抽出",
         {{"水平線", kFilterLineH}, {"垂直線", kFilterLineV}, {"右上がりの線 (45度)", kFilterLine45},
          {"右下がりの線 (135度)", kFilterLine135}}},
    };
    return all;
}

}  // namespace

SpatialFilterDialog::SpatialFilterDialog(int flags, const Bitmap& picture, QWidget* parent)
    : ParamDialog(QStringLiteral("空間ﾌｨﾙﾀ"), picture, true, parent) {
    setObjectName(QStringLiteral("SpatialFilterDialog"));
    int chosen = 0;
    for (const Family& f : families()) chosen |= flags & f.flag;
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("Filter"));
    QStringList names;
    for (const Family& f : families()) {
        if (chosen && !(chosen & f.flag)) continue;
        names << QString::fromUtf8(f.name);
        for (const auto& [name, number] : f.filters) {
            // With several families each entry says which it belongs to.
            const QString text = QString::fromUtf8(name);
            auto* item = new QListWidgetItem(
                chosen && (chosen & (chosen - 1)) == 0 ? text : QString::fromUtf8(f.name) + QStringLiteral(": ") + text,
                list_);
            item->setData(Qt::UserRole, number);
        }
    }
    if (names.size() == 1) setWindowTitle(windowTitle() + QStringLiteral(" - ") + names.first());
    list_->setCurrentRow(0);
    list_->setMinimumHeight(160);
    addRow(QStringLiteral("ﾌｨﾙﾀ(&F):"), list_);
    connect(list_, &QListWidget::currentRowChanged, this, [this] { refreshPreview(); });
    startPreview();
}

int SpatialFilterDialog::filter() const {
    const QListWidgetItem* item = list_->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : list_->item(0)->data(Qt::UserRole).toInt();
}

QList<int> SpatialFilterDialog::offered() const {
    QList<int> out;
    for (int i = 0; i < list_->count(); ++i) out << list_->item(i)->data(Qt::UserRole).toInt();
    return out;
}

int16_t SpatialFilterDialog::previewOperation(Bitmap& b) const { return ops::spatialFilter(b, filter()); }

}  // namespace qova::engine
