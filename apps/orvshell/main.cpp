// orvshell: the Orvalis front end.
#include <QApplication>

#include "frontend/widgets/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvalis");
    return orv::frontend::run_front_end();
}
