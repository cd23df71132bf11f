#pragma once
// The mail components' numbered messages and the exception that carries them.

#include <stdexcept>
#include <string>

namespace tunquil {

enum MailErrorNumber {
    kMailTimedOut = 57000,
    kMailCanceled = 57001,
    kMailServerRequired = 57002,
    kMailInvalidWinsockVersion = 57003,
    kMailResolveFailed = 57004,
    kMailServiceRequired = 57005,
    kMailNotConnected = 57008,
    kMailFunctionNotFound = 57010,
    kMailWinsockNotLoaded = 57011,
    kMailWinsockNotFound = 57012,
    kMailSenderRequired = 57100,
    kMailRecipientRequired = 57101,
    kMailMessageRequired = 57102,
    kMailMimePreamble = 57106,
    // Not in the numbered table: the server answered with a code outside the expected class,
    // a text that would have broken a command or header line, the server closed the link.
    kMailServerReply = -1,
    kMailUnsafeText = -2,
    kMailConnectionClosed = -3,
    // The secure connection and the login: the TLS handshake or certificate check failed, the
    // server sent a line without end, the server cannot give the security the settings ask
    // for, the login was refused or is impossible, no password was given.
    kMailTls = -4,
    kMailLineTooLong = -5,
    kMailNoStartTls = -6,
    kMailAuthRefused = -7,
    kMailNoAuth = -8,
    kMailPasswordInClear = -9,
    kMailNoPassword = -10,
    // The server's reply went on past the lines or bytes any real reply has.
    kMailReplyTooLong = -11,
    // An envelope address that is not a mailbox; it would be taken apart by the server.
    kMailBadAddress = -12,
};

// The text of a numbered message; "" for a number without one.
std::string MailErrorText(int number);

// A socket error in the "[N] text" form, N being the system's error number.
std::string SocketErrorText(int err);

class EMailError : public std::runtime_error {
public:
    EMailError(int number, const std::string& text) : std::runtime_error(text), number_(number) {}
    // An error of the numbered table, with its text.
    explicit EMailError(int number) : EMailError(number, MailErrorText(number)) {}
    int number() const { return number_; }

private:
    int number_;
};

// A failed socket call; `err` is the errno value. number() is the system's error number.
class ESocketError : public EMailError {
public:
    explicit ESocketError(int err) : EMailError(err, SocketErrorText(err)) {}
};

} // namespace tunquil
