#include "shell/ui_services.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace qova::shell {

MsgResult QtUiServices::msgBox(const QString& prompt, int style, const QString& title) {
    QMessageBox box(parent_);
    box.setText(prompt);
    box.setWindowTitle(title.isNull() ? QStringLiteral("QOVA") : title);
    switch (style & 0x70) {
    case Critical: box.setIcon(QMessageBox::Critical); break;
    case Question: box.setIcon(QMessageBox::Question); break;
    case Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Information: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    const bool second = (style & DefaultButton2) != 0;
    switch (style & 7) {
    case YesNo: {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(second ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    case OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(second ? QMessageBox::Cancel : QMessageBox::Ok);
        break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    // The program speaks Japanese whatever the locale.
    if (auto* b = box.button(QMessageBox::Yes)) b->setText(QStringLiteral("はい(&Y)"));
    if (auto* b = box.button(QMessageBox::No)) b->setText(QStringLiteral("いいえ(&N)"));
    if (auto* b = box.button(QMessageBox::Cancel)) b->setText(QStringLiteral("キャンセル"));
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgYes;
    case QMessageBox::No: return MsgNo;
    case QMessageBox::Cancel: return MsgCancel;
    default: return MsgOk;
    }
}

QString QtUiServices::openFileName(const QString& title, const QString& filter, const QString& dir) {
    return QFileDialog::getOpenFileName(parent_, title, dir, filter);
}

QString QtUiServices::saveFileName(const QString& title, const QString& filter, const QString& dir,
                                  bool confirmReplace) {
    return QFileDialog::getSaveFileName(parent_, title, dir, filter, nullptr,
                                        confirmReplace ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite);
}

void QtUiServices::quit() { QApplication::exit(0); }

bool QtUiServices::chooseColour(uint32_t& colour, const QString& title) {
    const QColor start(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
    const QColor c = QColorDialog::getColor(start, parent_, title.isEmpty() ? QStringLiteral("色の設定") : title);
    if (!c.isValid()) return false;
    colour = uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
    return true;
}

}  // namespace qova::shell
