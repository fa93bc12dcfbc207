// orvshell: the Orvalis front end.
#include <QApplication>

#include "frontend/widgets/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvalis");
    orv::frontend::MainWindow window;
    QObject::connect(&window, &orv::frontend::MainWindow::exit_requested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}
