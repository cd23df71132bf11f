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
    int security = 0;          // "Security": 0 none, 1 STARTTLS, 2 TLS (TMailSecurity)
    int port = 0;              // "Port": empty (0) picks 25, 587 or 465 by the security
    std::string user;          // "User": the login name; empty for no login
    // The password is never kept here: it lives in the desktop's keyring or in memory only.

    static MailSettings Load(const IniFile& ini);
    // Writes every key but "Notification"; the caller saves the file. "Security", "Port" and
    // "User" are written only when set or already in the file, so the file of a user who never
    // touched them stays as it was.
    void Save(IniFile& ini) const;
};

} // namespace tunquil
