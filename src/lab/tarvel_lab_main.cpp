#include "lab/LabTool.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    const int code = lab::runLabTool(app.arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return code;
}
