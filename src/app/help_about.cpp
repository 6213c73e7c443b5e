#include "app/help_about.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/trap.h"

namespace qova::app {

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent) {
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("QOVA ﾍﾙﾌﾟ"));
    setOpenExternalLinks(true);
    resize(680, 720);
}

QString programFile(const QString& name) {
    if (QFileInfo(name).isAbsolute()) return name;
    const QDir here(QCoreApplication::applicationDirPath());
    const QString beside = here.absoluteFilePath(name);
    if (QFileInfo(beside).isFile()) return beside;
    const QString shared = QDir::cleanPath(here.absoluteFilePath(QStringLiteral("../share/qova/") + name));
    return QFileInfo(shared).isFile() ? shared : beside;
}

void HelpWindow::showContents(const QString& file) {
    const QFileInfo info(programFile(file));
    file_ = info.absoluteFilePath();
    if (info.isFile()) {
        clearHistory();
        setSource(QUrl::fromLocalFile(file_), QTextDocument::HtmlResource);
    } else {
        setHtml(QStringLiteral("<h2>QOVA ﾍﾙﾌﾟ</h2><p>ﾍﾙﾌﾟ ﾌｧｲﾙ %1 が見つかりません。</p>").arg(file_.toHtmlEscaped()));
    }
    show();
    raise();
    activateWindow();
}

QString versionText() {
    return QStringLiteral("QOVA Version %1.%2.%3").arg(QOVA_VERSION_MAJOR).arg(QOVA_VERSION_MINOR).arg(QOVA_VERSION_PATCH);
}

Form5::Form5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("About"));
    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    const QIcon icon = QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_DesktopIcon)
                                                           : QApplication::windowIcon();
    Picture1->setPixmap(icon.pixmap(48, 48));
    lblVersion = new QLabel(versionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    auto* blurb = new QLabel(QStringLiteral("画像の閲覧・編集・管理"), this);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    shell::connectTrapped(Command1, &QPushButton::clicked, this, [this](bool) { hide(); });

    auto* text = new QVBoxLayout;
    text->addWidget(lblVersion);
    text->addWidget(blurb);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(Picture1, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(Command1, 0, Qt::AlignRight);
    setMinimumWidth(320);
}

}  // namespace qova::app
