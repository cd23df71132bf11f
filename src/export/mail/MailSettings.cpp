#include "export/mail/MailSettings.h"

namespace tunquil {

namespace {
constexpr const char* kSection = "Setup";
}

MailSettings MailSettings::Load(const IniFile& ini) {
    MailSettings s;
    s.server = ini.ReadString(kSection, "Server", "");
    s.emailAddress = ini.ReadString(kSection, "EMail Address", "");
    s.name = ini.ReadString(kSection, "Name", "");
    s.ras = ini.ReadInteger(kSection, "RAS", 0);
    s.logFile = ini.ReadString(kSection, "Log File", "");
    s.charSet = ini.ReadInteger(kSection, "CharSet", 0);
    s.encoding = ini.ReadInteger(kSection, "Encoding", 0);
    s.notification = ini.ReadBool(kSection, "Notification", false);
    s.security = ini.ReadInteger(kSection, "Security", 0);
    if (s.security < 0 || s.security > 2)
        s.security = 0;
    s.port = ini.ReadInteger(kSection, "Port", 0);
    if (s.port < 0 || s.port > 65535)
        s.port = 0;
    s.user = ini.ReadString(kSection, "User", "");
    return s;
}

void MailSettings::Save(IniFile& ini) const {
    ini.WriteString(kSection, "Server", server);
    ini.WriteString(kSection, "EMail Address", emailAddress);
    ini.WriteString(kSection, "Name", name);
    ini.WriteInteger(kSection, "RAS", ras);
    ini.WriteString(kSection, "Log File", logFile);
    ini.WriteInteger(kSection, "CharSet", charSet);
    ini.WriteInteger(kSection, "Encoding", encoding);
    if (security != 0 || ini.ValueExists(kSection, "Security"))
        ini.WriteInteger(kSection, "Security", security);
    if (port != 0 || ini.ValueExists(kSection, "Port"))
        ini.WriteString(kSection, "Port", port == 0 ? "" : std::to_string(port));
    if (!user.empty() || ini.ValueExists(kSection, "User"))
        ini.WriteString(kSection, "User", user);
}

} // namespace tunquil
