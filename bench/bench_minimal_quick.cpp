// The floor of the start-up figure: a program that shows one QQuickWidget
// scene and ends once it has drawn its first frame.
#include "FirstFrame.h"

#include <QApplication>
#include <QQuickWidget>
#include <QUrl>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QQuickWidget view;
    view.setResizeMode(QQuickWidget::SizeRootObjectToView);
    view.setSource(QUrl::fromLocalFile(QStringLiteral(TARVEL_MINIMAL_QML)));
    view.resize(542, 373);
    FirstFrame first([] { QApplication::quit(); });
    view.show();
    return app.exec();
}
