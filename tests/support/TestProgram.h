#pragma once
// A program directory with an open, empty database and the import and archive operations over
// it, answering through a scripted host.

#include "TempDir.h"
#include "base/ScriptedHost.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "export/archive/TitleArchiver.h"
#include "import/TitleImporter.h"

namespace tunquil::test {

struct TestProgram {
    TestProgram();

    TempDir dir;
    ScriptedHost host;
    TCatList categories{dir.path()};
    TDMM2 data{dir.path(), host};
    TitleImporter importer{host, data, categories, dir.path()};
    TitleArchiver archiver{host, data.Database(), dir.path()};

    TMyDB& db() { return data.Database(); }
    // Adds a title straight to the database with `midi` as its stored tune.
    int32_t AddTitle(const std::string& title, const std::string& midi,
                     const std::string& origin = "origin");
};

} // namespace tunquil::test
