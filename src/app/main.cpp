#include "applicationsetup.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    configureApplication(app);
    int code = 0;
    {
        MainWindow window;
        window.show();
        code = app.exec();
    }
    return code;
}
