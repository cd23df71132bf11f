#include "ui/TunquilApp.h"

#include "app/PassedOverLibrary.h"
#include "app/SingleInstance.h"
#include "app/WorkDirectories.h"
#include "base/ProgramDirectory.h"
#include "base/Version.h"
#include "integration/CommandProcessor.h"
#include "platform/FakeMessageBus.h"
#include "platform/SequencerDevice.h"
#include "platform/SocketMessageBus.h"
#include "platform/TerminationSignals.h"
#include "platform/XdgRegistry.h"
#include "ui/app/BusNotifiers.h"
#include "ui/app/TMasterFrm.h"
#include "ui/app/TSplashFrm.h"
#include "ui/controls/AppIcon.h"
#include "ui/integration/DesktopCommands.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>
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

namespace {
// The second start's last word, on the terminal it was started from.
int EndSecondStart(StartRole role) {
    switch (role) {
    case StartRole::HandedOver:
        return 0;
    case StartRole::Refused:
        std::fputs("Tunquil is closing down; start it again in a moment.\n", stderr);
        return 1;
    case StartRole::TooLong:
        std::fputs("An argument is too long to hand over to the running Tunquil.\n", stderr);
        return 1;
    default:
        std::fputs("The running Tunquil did not answer.\n", stderr);
        return 1;
    }
}
} // namespace

int RunTunquil(int argc, char** argv) {
    // Paths are made absolute before anything else: the running copy, and this one once it
    // is running, work in the program directory.
    // The desktop entry passes a verb and its file as separate arguments ("--verb P /path");
    // they are joined into one command before relative paths are made absolute.
    std::vector<std::string> commands =
        CommandProcessor::CommandsFromArguments(std::vector<std::string>(argv + 1, argv + argc));
    std::vector<const char*> joined{argv[0]};
    for (const std::string& c : commands)
        joined.push_back(c.c_str());
    std::error_code ec;
    std::vector<std::string> arguments =
        CommandArguments(static_cast<int>(joined.size()), joined.data(), fs::current_path(ec));

    // One copy per user, decided before any window or display is needed.
    std::unique_ptr<platform::IMessageBus> bus;
    platform::SocketMessageBus* socketBus = nullptr;
    try {
        auto real = std::make_unique<platform::SocketMessageBus>();
        socketBus = real.get();
        bus = std::move(real);
    } catch (const platform::BusError& e) {
        // Without a bus this copy cannot be found, but it still runs for the user.
        std::fprintf(stderr, "%s\n", e.what());
        bus = std::make_unique<platform::FakeMessageBus>();
    }
    auto copy = std::make_unique<RunningCopy>(*bus, RunningCopy::Callbacks{});
    StartRole role = ClaimOrHandOver(*copy, *bus, arguments);
    if (role == StartRole::Alone)
        std::fprintf(stderr, "%s\n", copy->BusProblem().c_str());
    else if (role != StartRole::First)
        return EndSecondStart(role);

    QApplication app(argc, argv);
    QApplication::setApplicationName("Tunquil");
    QApplication::setApplicationVersion(kVersion);
    // Every window shows the icon, and the desktop matches them to the entry it launched.
    QApplication::setWindowIcon(AppIcon());
    QGuiApplication::setDesktopFileName("tunquil");
    platform::TerminationSignals termination;
    std::unique_ptr<TMasterFrm> window;
    fs::path home;
    std::string passedOver;
    try {
        home = FindProgramDirectory(HomeOption(argc, argv));
        passedOver = TakePassedOverLibraryNotice(home, HomeOption(argc, argv));
        window = std::make_unique<TMasterFrm>(home);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Tunquil",
                              QString::fromStdString(ExpandLineSeparators(e.what())));
        return 1;
    }
    window->Desktop().AdoptRegistry(
        std::make_unique<platform::XdgRegistry>(platform::XdgLocations::FromEnvironment(),
                                                "Tunquil.Document"),
        QCoreApplication::applicationFilePath().toStdString());
    PrepareWorkDirectories(window->Host(), home);
    window->AdoptRunningCopy(std::move(copy));
    window->SetStartArguments(arguments);

    BusNotifiers notifiers(socketBus);
    notifiers.WatchSignals(termination, [&](int) { window->EndSession(); });
    // The desktop session is ending: everything is saved now, without a question.
    QObject::connect(&app, &QGuiApplication::commitDataRequest,
                     [&](QSessionManager&) { window->EndSession(); });

    QPointer<TSplashFrm> splash;
    if (arguments.empty()) {
        splash = new TSplashFrm(home, [&] { return window->StartUpComplete(); });
        splash->show();
    }
    window->ApplySavedSettings();
    window->show();
    QCoreApplication::processEvents();
    // The window shows at once, locked; the database fills it on the start-up timer.
    QTimer::singleShot(100, window.get(), [&] {
        window->DeferredStartUp();
        if (!passedOver.empty())
            window->Host().ShowMessage(passedOver, TMsgDlgType::mtInformation, 0, mbOK);
    });
    int status = app.exec();
    window->ShutDown();
    if (splash)
        delete splash;
    return status;
}

} // namespace tunquil::ui
