// orvshell: the Orvalis front end.
#include <QApplication>

#include "frontend/widgets/principal_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvalis");
    orv::frontend::PrincipalWindow window;
    window.show();
    return QApplication::exec();
}
