#include "export/mail/MailErrors.h"

#include <cstring>

namespace tunquil {

std::string MailErrorText(int number) {
    switch (number) {
    case kMailTimedOut:
        return "Operation timed out";
    case kMailCanceled:
        return "Operation has been canceled";
    case kMailServerRequired:
        return "Server property is required";
    case kMailInvalidWinsockVersion:
        return "Invalid Winsock version";
    case kMailResolveFailed:
        return "Error resolving remote host";
    case kMailServiceRequired:
        return "Service name is required";
    case kMailNotConnected:
        return "You have to connect to the server first";
    case kMailWinsockNotLoaded:
        return "Winsock is not loaded";
    case kMailWinsockNotFound:
        return "Winsock not found";
    case kMailFunctionNotFound:
        return "Function %s not found";
    case kMailSenderRequired:
        return "The address of sender is required";
    case kMailRecipientRequired:
        return "At least one Recipient, CC or BCC must be entered";
    case kMailMessageRequired:
        return "MailMessage property must be assigned";
    case kMailMimePreamble:
        return "This is a multipart message in MIME format";
    case kMailLineTooLong:
        return "The server sent a line longer than 64 KB";
    case kMailReplyTooLong:
        return "The server sent a reply longer than 100 lines or 64 KB";
    case kMailNoStartTls:
        return "The server does not offer STARTTLS, so the mail was not sent: it would have "
               "gone unencrypted";
    case kMailNoAuth:
        return "The server offers no login method this program knows (PLAIN, LOGIN)";
    case kMailNoPassword:
        return "The mail was not sent: no password was given";
    case kMailPasswordInClear:
        return "A login needs the security setting STARTTLS or TLS: a password is never sent "
               "unencrypted";
    default:
        return "";
    }
}

std::string SocketErrorText(int err) {
    // strerror_r in its GNU form may return a static string instead of filling the buffer.
    char buf[256] = {};
    const char* text = ::strerror_r(err, buf, sizeof buf);
    if (text == nullptr || *text == '\0')
        return "Error #" + std::to_string(err);
    return "[" + std::to_string(err) + "] " + text;
}

} // namespace tunquil
