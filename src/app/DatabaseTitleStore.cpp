#include "app/DatabaseTitleStore.h"

#include "database/TDMM2.h"
#include "export/archive/StoredTune.h"
#include "midi/MidiProbe.h"

namespace tunquil {

bool DatabaseTitleStore::Extract(int key, const std::filesystem::path& target, TitleTexts& texts) {
    TitleRecord record;
    if (!data_.Database().Extract(key, target, record))
        return false;
    texts.title = record.title;
    texts.firstName = record.firstName;
    texts.lastName = record.lastName;
    texts.categoryName = record.categoryName;
    texts.origin = record.origin;
    return true;
}

void DatabaseTitleStore::SetDuration(int seconds, int key) {
    // A title deleted while it played has nowhere to keep its time; that is no failure.
    data_.Database().SetDuration(seconds, key);
}

void DatabaseTitleStore::DeleteTitle(int key) {
    data_.DeleteTitle(key);
}

PlayTools RealPlayTools(IHost& host) {
    PlayTools tools;
    tools.unzipOneFile = [&host](const std::filesystem::path& archive,
                                 const std::filesystem::path& directory,
                                 std::filesystem::path& member) {
        return UnzipOneFile(host, archive, directory, member);
    };
    tools.probe = [](const std::filesystem::path& file) {
        return ProbeMidiFile(file.string()).kind;
    };
    return tools;
}

} // namespace tunquil
