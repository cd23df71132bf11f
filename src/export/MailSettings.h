#pragma once
// The user's mail settings, kept in section "Setup" of Tunquil.ini.

#include "base/IniFile.h"

#include <string>

namespace tunquil {

struct MailSettings {
    std::string server;        // "Server": host name, optionally ":" and a port
    std::string emailAddress;  // "EMail Address"
    std::string name;          // "Name"
    int ras = 0;               // "RAS": dial-up entry, 0 = none
    std::string logFile;       // "Log File"
    int charSet = 0;           // "CharSet": 0 US-ASCII, 1 ISO-8859-1
    int encoding = 0;          // "Encoding": 0 MIME, 1 UUCode
    bool notification = false; // "Notification": read, never written

    static MailSettings Load(const IniFile& ini);
    // Writes every key but "Notification"; the caller saves the file.
    void Save(IniFile& ini) const;
};

} // namespace tunquil
