#include "ui/TunquilApp.h"

#include "base/ProgramDirectory.h"
#include "platform/SequencerDevice.h"
#include "ui/app/TMasterFrm.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <memory>
#include <string>

namespace tunquil::ui {

std::string HomeOption(int argc, char** argv) {
    std::string home;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--home" && i + 1 < argc)
            home = argv[++i];
        else if (arg.rfind("--home=", 0) == 0)
            home = arg.substr(7);
    }
    return home;
}

std::unique_ptr<TMasterFrm> StartMainWindow(const std::string& home, std::string& error,
                                            std::unique_ptr<platform::ISequencerDevice> device) {
    try {
        auto window = std::make_unique<TMasterFrm>(FindProgramDirectory(home), std::move(device));
        window->StartUp();
        return window;
    } catch (const std::exception& e) {
        error = e.what();
        return nullptr;
    }
}

int RunTunquil(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tunquil");
    std::unique_ptr<TMasterFrm> window;
    try {
        window = std::make_unique<TMasterFrm>(FindProgramDirectory(HomeOption(argc, argv)));
        // The window shows at once; the database fills it afterwards.
        window->show();
        QCoreApplication::processEvents();
        window->StartUp();
    } catch (const std::exception& e) {
        QMessageBox::critical(window.get(), "Tunquil",
                              QString::fromStdString(ExpandLineSeparators(e.what())));
        return 1;
    }
    int status = app.exec();
    window->ShutDown();
    return status;
}

} // namespace tunquil::ui
