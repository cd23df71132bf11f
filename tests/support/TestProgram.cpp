#include "TestProgram.h"

#include "export/archive/StoredTune.h"

namespace tunquil::test {

TestProgram::TestProgram() {
    categories.Load();
    data.SetCategoryList(&categories);
    data.OpenDatabase();
    categories.SetDatabase(&data.Database());
}

int32_t TestProgram::AddTitle(const std::string& title, const std::string& midi,
                              const std::string& origin) {
    auto source = dir.Write("fixture/AAATune.TTT", midi);
    ZipOneFile(source, dir / "fixture/tune.zip");
    return data.AddTitle(dir / "fixture/tune.zip", title, true, 45000.5, 3,
                         data.Performers().FindOrAdd("", "Various"),
                         categories.AddCategory("Unknown"), origin);
}

} // namespace tunquil::test
