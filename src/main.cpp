#include <QApplication>
#include <QMainWindow>
#include <QStringList>

#include "engine/image_control.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle("QOVA");
    auto* img = new qova::engine::ImageControl(&w);
    img->setObjectName("Img1");
    w.setCentralWidget(img);
    w.resize(1024, 768);
    // The whole command line names one image.
    const QString path = QCoreApplication::arguments().mid(1).join(' ');
    if (!path.isEmpty()) {
        img->setPreLoad(true);
        if (img->load(path, 0, 0, -1) == 0) img->setViewMode(qova::engine::ImageControl::ViewFit);
    }
    w.show();
    return app.exec();
}
