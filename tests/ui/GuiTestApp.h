#pragma once
// The one QApplication of the GUI test program, made offscreen on first use.

#include <QApplication>

namespace tunquil::test {

inline QApplication& GuiTestApp() {
    if (auto* running = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *running;
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: a QApplication torn down among the exit handlers runs after Qt's own
    // statics are gone and crashes the test program at its very end.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

} // namespace tunquil::test
