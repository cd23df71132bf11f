#include "export/DatabaseTitleExporter.h"

#include "database/TCatList.h"
#include "database/TMyDB.h"
#include "export/TitleExport.h"

#include <stdexcept>

namespace tunquil {

std::optional<ITitleExporter::TitleInfo> DatabaseTitleExporter::Describe(int masterKey) {
    TitleRecord record;
    if (!db_.ReadRecordByKey(masterKey, record))
        return std::nullopt;
    // The record holds only the first 20 bytes of the category's name.
    std::string category = categories_ ? categories_->NameOf(record.ck) : "";
    if (category.empty())
        category = record.categoryName;
    return TitleInfo{category, record.artist, record.title};
}

void DatabaseTitleExporter::ExportMidi(int masterKey, const std::filesystem::path& file) {
    std::string why;
    if (!ExportTitle(db_, host_, programDirectory_, masterKey, file, false, &why))
        throw std::runtime_error(why);
}

} // namespace tunquil
