#pragma once

namespace tunquil::ui {

// Starts the desktop program: finds the program directory, opens the database and shows the
// main window. Returns the exit status.
int RunTunquil(int argc, char** argv);

} // namespace tunquil::ui
