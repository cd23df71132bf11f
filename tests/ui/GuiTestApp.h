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
    // Never destroyed: the pointing devices that Qt Test makes for simulated clicks are freed
    // at exit, after a static application would be gone, and crash there.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace tunquil::test
