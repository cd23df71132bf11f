#include "export/TitleSaver.h"

#include "base/Files.h"
#include "base/Text.h"
#include "database/TMyDB.h"
#include "database/TitleRecord.h"
#include "export/TitleExport.h"

namespace tunquil {

namespace {

bool HasExtension(const fs::path& path, std::string_view extension) {
    return SameTextIgnoringCase(path.extension().string(), extension);
}

} // namespace

std::vector<fs::path> TitleSaver::FilesFor(const ISaveTitleDialog::Choice& choice) {
    fs::path base = choice.path;
    if (choice.format == SaveFormat::Compressed) {
        if (HasExtension(base, ".zip") || HasExtension(base, ".mid"))
            base.replace_extension();
        fs::path midi = base, zip = base;
        midi += ".mid";
        zip += ".zip";
        return {midi, zip};
    }
    if (HasExtension(base, ".mid"))
        return {base};
    base += ".mid";
    return {base};
}

TitleSaver::Outcome TitleSaver::SaveOne(int32_t masterKey, const std::string& name,
                                        const ISaveTitleDialog::Choice& choice) {
    auto files = FilesFor(choice);
    for (const auto& file : files) {
        std::error_code ec;
        if (!fs::exists(file, ec))
            continue;
        std::string question = file.string() + " already exists.\\nDo you want to replace it?";
        if (host_.ShowMessage(question, TMsgDlgType::mtWarning, 0, mbYes | mbNo) !=
            TModalResult::mrYes)
            return Outcome::AskAgain;
    }

    BusyScope busy(host_);
    directory_ = files.front().parent_path();
    format_ = choice.format;
    bool zip = choice.format == SaveFormat::Compressed;
    fs::path target = files.front();
    if (zip)
        target.replace_extension();
    std::string why;
    if (ExportTitle(db_, host_, programDirectory_, masterKey, target, zip, &why))
        return Outcome::Saved;
    host_.ShowMessage("Cannot save " + name + ": " + why, TMsgDlgType::mtError, 0, mbOK);
    return Outcome::NotSaved;
}

int TitleSaver::SaveTitles(const std::vector<int32_t>& masterKeys) {
    // Counts the titles the user passed over in a row; answering to go on makes the next
    // question wait for a longer run, and any title the user picks a file for starts afresh.
    constexpr int kFirstWarning = 3, kLaterWarning = 5;
    int passedOver = 0, threshold = kFirstWarning, saved = 0;
    for (std::size_t j = 0; j < masterKeys.size(); ++j) {
        TitleRecord record;
        if (!db_.ReadRecordByKey(masterKeys[j], record))
            continue;
        std::string name = SafeTitleFileName(record.title, masterKeys[j]);
        Outcome outcome = Outcome::AskAgain;
        bool chosen = false;
        while (outcome == Outcome::AskAgain) {
            auto choice = dialog_.Ask("Save " + name + " to...", name, directory_, format_);
            if (!choice)
                break;
            outcome = SaveOne(masterKeys[j], name, *choice);
            chosen = outcome != Outcome::AskAgain;
        }
        if (chosen) {
            passedOver = 0;
            threshold = kFirstWarning;
            saved += outcome == Outcome::Saved;
            continue;
        }
        if (++passedOver < threshold || j + 1 == masterKeys.size())
            continue;
        std::string question = "You have not saved the last " + std::to_string(passedOver) +
                               " MIDI files.\\n        Do you wish to continue?";
        if (host_.ShowMessage(question, TMsgDlgType::mtWarning, 0, mbYes | mbNo) !=
            TModalResult::mrYes)
            break;
        passedOver = 0;
        threshold = kLaterWarning;
    }
    return saved;
}

} // namespace tunquil
