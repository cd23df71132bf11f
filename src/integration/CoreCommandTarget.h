#pragma once
// The command processor's target made of the core's own pieces: the database for finding
// titles, the import dispatcher, the play program and the title mailer. What only the window
// can do (refresh its lists, open the mail window, tell the plug-in) comes in as hooks.

#include "integration/CommandProcessor.h"

#include <functional>

namespace tunquil {

class TMyDB;
class TitleImporter;
class PlayProgram;
class TitleMailer;

class CoreCommandTarget : public ICommandTarget {
public:
    // `mailer` may be null where the mail window attaches the titles itself.
    CoreCommandTarget(TMyDB& db, TitleImporter& importer, PlayProgram& program, TitleMailer* mailer)
        : db_(db), importer_(importer), program_(program), mailer_(mailer) {}

    // Refreshes the category lists, the views and the visible program window.
    std::function<void()> onRefreshViews;
    // Shows the mail window over the titles just attached to the mailer.
    std::function<void(const std::vector<int>&)> onShowMail;
    // Sends TQ_ShowBadFileBitmap to the TMsgRcvFrm window when one is registered.
    std::function<void()> onPluginBadFile;
    // Keeps the Settings menu's auto-looping item in step with the play program.
    std::function<void(bool)> onAutoLooping;
    std::function<std::string()> activeCategoryCaption;

    bool FindByOrigin(const std::string& origin, int32_t& masterKey) override;
    int32_t HighestMasterKey() override;
    std::string ImportMusicFile(const std::filesystem::path& path, const std::string& title,
                                const std::string& origin, const std::string& performerName,
                                const std::string& categoryName, bool assign,
                                bool addOption) override;
    void SetAutoLooping(bool on) override;
    void PlayAtFront(int32_t masterKey, bool clearProgram) override;
    void MailTitles(const std::vector<int>& masterKeys) override;
    void RefreshViews() override;
    void TellPluginBadFile() override;
    std::string ActiveCategoryCaption() override;
    std::filesystem::path LibraryDirectory() override;

private:
    TMyDB& db_;
    TitleImporter& importer_;
    PlayProgram& program_;
    TitleMailer* mailer_;
};

} // namespace tunquil
