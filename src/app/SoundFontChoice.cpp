#include "app/SoundFontChoice.h"

#include "platform/SoundFontLocator.h"

namespace tunquil {

namespace {
constexpr char kSection[] = "Sound";
constexpr char kKey[] = "SoundFont";
} // namespace

std::string SoundFontSetting(const IniFile& ini) {
    return ini.ReadString(kSection, kKey, "");
}

std::string SoundFontRefusedText(const std::string& path) {
    return "The SoundFont \"" + path +
           "\" cannot be loaded: the file is missing, damaged or not a SoundFont.\\n"
           "The SoundFont in use stays.";
}

bool ChooseSoundFont(IHost& host, IniFile& ini, const std::string& path,
                     const std::function<uint32_t(const std::string&)>& applyToDevice) {
    bool usable = path.empty() || platform::CanLoadSoundFont(path);
    if (usable && applyToDevice && applyToDevice(path) != 0)
        usable = false;
    if (!usable) {
        host.ShowMessage(SoundFontRefusedText(path), TMsgDlgType::mtError, 0, mbOK);
        return false;
    }
    if (path.empty())
        ini.DeleteKey(kSection, kKey);
    else
        ini.WriteString(kSection, kKey, path);
    ini.UpdateFile();
    return true;
}

} // namespace tunquil
