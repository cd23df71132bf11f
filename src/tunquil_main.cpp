// Tunquil: the desktop program.

#include "base/Files.h"
#include "ui/TunquilApp.h"

int main(int argc, char** argv) {
    tunquil::FailWritesPastTheFileSizeLimit();
    return tunquil::ui::RunTunquil(argc, argv);
}
