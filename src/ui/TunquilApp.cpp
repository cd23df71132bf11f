#include "ui/TunquilApp.h"

#include <QApplication>
#include <QMainWindow>

namespace tunquil::ui {

int RunTunquil(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Tunquil");
    window.show();
    return app.exec();
}

} // namespace tunquil::ui
