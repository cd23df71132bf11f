// Tunquil: the desktop program.

#include "ui/TunquilApp.h"

int main(int argc, char** argv) { return tunquil::ui::RunTunquil(argc, argv); }
