#pragma once

#include "platform/SequencerDevice.h"

#include <memory>
#include <string>

namespace tunquil::ui {

class TMasterFrm;

// Starts the desktop program: finds the program directory, opens the database and shows the
// main window. Returns the exit status: 1 when the database cannot be opened (told in a box).
int RunTunquil(int argc, char** argv);

// The value of the --home option ("--home DIR" or "--home=DIR"), empty when absent.
std::string HomeOption(int argc, char** argv);

// Makes the main window on the program directory found from `home` and runs its start-up.
// Null, with the reason in `error`, when the directory or the database cannot be used.
// `device` as TMasterFrm takes it.
std::unique_ptr<TMasterFrm>
StartMainWindow(const std::string& home, std::string& error,
                std::unique_ptr<platform::ISequencerDevice> device = nullptr);

} // namespace tunquil::ui
