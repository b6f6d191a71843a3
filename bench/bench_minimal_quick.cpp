// The floor of the start-up figure: a program that shows one QQuickWidget
// scene and ends once it has drawn its first frame. Given a QML file, it
// shows that scene instead (the sign-in movie alone, to tell the program's
// own start-up from its first scene's).
#include "FirstFrame.h"

#include <QApplication>
#include <QQuickWidget>
#include <QUrl>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QQuickWidget view;
    view.setResizeMode(QQuickWidget::SizeRootObjectToView);
    view.setSource(QUrl::fromLocalFile(argc > 1 ? QString::fromLocal8Bit(argv[1])
                                                : QStringLiteral(TARVEL_MINIMAL_QML)));
    view.resize(542, 373);
    FirstFrame first([] { QApplication::quit(); });
    view.show();
    return app.exec();
}
