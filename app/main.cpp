#include "commandline.h"
#include "desktop.h"
#include "ui/dialogs/japaneseui.h"
#include "ui/main/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Options run without a window, a display or the single-instance lock.
    if (wantsCommandLine(argc, argv))
        return runCommandLine(argc, argv);
    QApplication app(argc, argv);
    // Names the configuration folder and the settings, whatever the executable is called.
    app.setApplicationName(QStringLiteral("sorafu"));
    useJapaneseUi();
    // Made first and gone last: it waits for the jobs still using the printing.
    Desktop desktop;
    MainWindow window(desktop.services());
    desktop.attach(&window);
    if (!window.load())
        return 0;
    window.show();
    return app.exec();
}
