#include "export/mail/MailSettings.h"

#include "base/IniKeys.h"

namespace tunquil {

namespace {

// A number outside [0, highest] reads as 0; 0 is written only over a value already there.
IniKeys<MailSettings>::ReadStep Ranged(const char* key, int MailSettings::*field, int highest) {
    return [=](const IniFile& ini, MailSettings& s) {
        s.*field = ini.ReadInteger("Setup", key, 0);
        if (s.*field < 0 || s.*field > highest)
            s.*field = 0;
    };
}

const IniKeys<MailSettings>& Keys() {
    static const IniKeys<MailSettings> keys =
        IniKeys<MailSettings>("Setup")
            .Add("Server", &MailSettings::server, std::string())
            .Add("EMail Address", &MailSettings::emailAddress, std::string())
            .Add("Name", &MailSettings::name, std::string())
            .Add("RAS", &MailSettings::ras, 0)
            .Add("Log File", &MailSettings::logFile, std::string())
            .Add("CharSet", &MailSettings::charSet, 0)
            .Add("Encoding", &MailSettings::encoding, 0)
            .Add(
                [](const IniFile& ini, MailSettings& s) {
                    s.notification = ini.ReadBool("Setup", "Notification", false);
                },
                nullptr)
            .Add(Ranged("Security", &MailSettings::security, 2),
                 [](IniFile& ini, const MailSettings& s) {
                     if (s.security != 0 || ini.ValueExists("Setup", "Security"))
                         ini.WriteInteger("Setup", "Security", s.security);
                 })
            .Add(Ranged("Port", &MailSettings::port, 65535),
                 [](IniFile& ini, const MailSettings& s) {
                     if (s.port != 0 || ini.ValueExists("Setup", "Port"))
                         ini.WriteString("Setup", "Port",
                                         s.port == 0 ? "" : std::to_string(s.port));
                 })
            .Add([](const IniFile& ini,
                    MailSettings& s) { s.user = ini.ReadString("Setup", "User", ""); },
                 [](IniFile& ini, const MailSettings& s) {
                     if (!s.user.empty() || ini.ValueExists("Setup", "User"))
                         ini.WriteString("Setup", "User", s.user);
                 });
    return keys;
}

} // namespace

MailSettings MailSettings::Load(const IniFile& ini) {
    MailSettings s;
    Keys().Read(ini, s);
    return s;
}

void MailSettings::Save(IniFile& ini) const {
    Keys().Write(ini, *this);
}

} // namespace tunquil
