#include "files/temporaryname.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    removeTemporariesOnSignals();
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    return app.exec();
}
