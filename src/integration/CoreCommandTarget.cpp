#include "integration/CoreCommandTarget.h"

#include "app/PlayProgram.h"
#include "database/TMyDB.h"
#include "export/mail/TitleMailer.h"
#include "import/TitleImporter.h"

namespace tunquil {

bool CoreCommandTarget::FindByOrigin(const std::string& origin, int32_t& masterKey) {
    return db_.FindByOrigin(origin, masterKey);
}

int32_t CoreCommandTarget::HighestMasterKey() {
    return db_.HighestMasterKey();
}

std::string CoreCommandTarget::ImportMusicFile(const std::filesystem::path& path,
                                               const std::string& title, const std::string& origin,
                                               const std::string& performerName,
                                               const std::string& categoryName, bool assign,
                                               bool addOption) {
    // The importer keeps the category of its last import for an empty name; a command that
    // names none must not file its title under whatever the previous command chose.
    if (assign && categoryName.empty())
        importer_.Pending().ck = 0;
    return importer_.ImportMusicFile(path, title, origin, performerName, categoryName, assign,
                                     addOption);
}

void CoreCommandTarget::SetAutoLooping(bool on) {
    program_.SetAutoLooping(on);
    if (onAutoLooping)
        onAutoLooping(on);
}

void CoreCommandTarget::PlayAtFront(int32_t masterKey, bool clearProgram) {
    if (clearProgram)
        program_.Clear();
    program_.AddAtTop({std::to_string(masterKey)});
    program_.SetCurrentIndex(-1);
    program_.Step(StepDirection::Forward);
}

void CoreCommandTarget::MailTitles(const std::vector<int>& masterKeys) {
    if (mailer_)
        mailer_->AttachTitles(masterKeys);
    if (onShowMail)
        onShowMail(masterKeys);
}

void CoreCommandTarget::RefreshViews() {
    if (onRefreshViews)
        onRefreshViews();
}

void CoreCommandTarget::TellPluginBadFile() {
    if (onPluginBadFile)
        onPluginBadFile();
}

std::string CoreCommandTarget::ActiveCategoryCaption() {
    return activeCategoryCaption ? activeCategoryCaption() : std::string();
}

std::filesystem::path CoreCommandTarget::LibraryDirectory() {
    return db_.Directory();
}

} // namespace tunquil
