// The help window (the program's guide, QOVA.HLP, shown as HTML) and the
// About box Form5.
#pragma once

#include <QDialog>
#include <QTextBrowser>

class QLabel;
class QPushButton;

namespace qova::app {

class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the contents page of `file` (a relative name is looked up beside
    // the program). A missing file is reported on the page itself.
    void showContents(const QString& file);
    QString shownFile() const { return file_; }

private:
    QString file_;
};

// "QOVA Version " and the program's version, major.minor.patch.
QString versionText();

class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);
    QLabel* lblVersion;
    QLabel* Picture1;
    QPushButton* Command1;
};

}  // namespace qova::app
