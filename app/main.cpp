#include "ui/main/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Names the configuration folder and the settings, whatever the executable is called.
    app.setApplicationName(QStringLiteral("sorafu"));
    MainWindow window;
    if (!window.load())
        return 0;
    window.show();
    return app.exec();
}
