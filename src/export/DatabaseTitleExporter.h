#pragma once
// Titles for the mail taken from the database: names from the title record (the category's
// full name from the category list when there is one), MIDI data through the title export.

#include "base/Host.h"
#include "export/mail/MailSources.h"

#include <filesystem>

namespace tunquil {

class TMyDB;
class TCatList;

class DatabaseTitleExporter : public ITitleExporter {
public:
    DatabaseTitleExporter(TMyDB& db, IHost& host, std::filesystem::path programDirectory,
                          const TCatList* categories = nullptr)
        : db_(db), host_(host), programDirectory_(std::move(programDirectory)),
          categories_(categories) {}

    std::optional<TitleInfo> Describe(int masterKey) override;
    void ExportMidi(int masterKey, const std::filesystem::path& file) override;

private:
    TMyDB& db_;
    IHost& host_;
    std::filesystem::path programDirectory_;
    const TCatList* categories_;
};

} // namespace tunquil
