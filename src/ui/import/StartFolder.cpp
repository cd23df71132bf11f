#include "ui/import/StartFolder.h"

#include "base/IniFile.h"
#include "base/ProgramDirectory.h"

#include <QDir>
#include <QFileInfo>

namespace tunquil::ui {

QString StartFolder(const QString& last, const QString& home) {
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return QDir::cleanPath(last);
    const QString music = QDir(home).filePath("Music");
    if (QFileInfo(music).isDir())
        return QDir::cleanPath(music);
    return QDir::cleanPath(home);
}

QString ReadLastFolder(const std::filesystem::path& programDirectory, const char* section) {
    try {
        return QString::fromStdString(
            IniFile(SettingsPath(programDirectory)).ReadString(section, "LastFolder", ""));
    } catch (const std::exception&) {
        return {};
    }
}

void WriteLastFolder(const std::filesystem::path& programDirectory, const char* section,
                     const QString& folder) {
    IniFile ini(SettingsPath(programDirectory));
    ini.WriteString(section, "LastFolder", folder.toStdString());
    ini.UpdateFile();
}

} // namespace tunquil::ui
