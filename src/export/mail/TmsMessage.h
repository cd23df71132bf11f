#pragma once
// A mail message and its encoding into the text that follows DATA.

#include "export/mail/TmsAttachment.h"

#include <string>
#include <vector>

namespace tunquil {

struct TMailAddress {
    std::string name; // display name, may be empty
    std::string address;
};

enum TMailCharSet { csUsAscii = 0, csIso8859_1 = 1 };
enum TMailEncoding { meMime = 0, meUUCode = 1 };
enum TMailPriority { mpLow = 0, mpNormal = 1, mpHigh = 2 };

class TmsMessage {
public:
    TMailAddress sender;
    std::vector<TMailAddress> to;
    std::vector<TMailAddress> cc;
    std::vector<TMailAddress> bcc; // envelope only, never in a header
    std::string subject;
    std::vector<std::string> body;
    std::vector<std::string> extraHeaders;
    std::vector<TmsAttachment> attachments;
    std::string contentType = "text/plain";
    int charSet = csUsAscii;
    int encoding = meMime;
    int priority = mpNormal;
    bool returnReceipt = false;

    // The address text unchanged, with an empty display name.
    void AddRecipient(const std::string& address) { to.push_back({"", address}); }
    void AddAttachment(const std::filesystem::path& path) { attachments.emplace_back(path); }

    // Throws EMailError when an address, a name, the subject, an extra header or an attached
    // file's name holds a CR, LF or NUL: each would end the command or header line it is
    // written into and let the rest pass as a command or header of its own.
    void CheckTexts() const;

    // The whole message, every line ended by CR LF, before the transport's dot-stuffing.
    std::string Encode() const;
    // The same with this boundary; throws EMailError (kMailUnsafeText) when the content holds
    // it, as it would end a part early.
    std::string Encode(const std::string& boundary) const;

    // "=_" and 32 hex digits: 128 random bits.
    static std::string MakeBoundary();

private:
    // False when the content holds `boundary`.
    bool EncodeWith(const std::string& boundary, std::string& out) const;
};

// Throws EMailError (kMailUnsafeText) naming `what` when `text` holds a CR, LF or NUL.
void CheckLineText(const std::string& text, const std::string& what);

// Throws EMailError (kMailBadAddress) naming `address` unless it is a mailbox as SMTP writes
// one: a dot-string or quoted local part, "@", and a domain or an address literal, blanks
// around it allowed. Anything else, such as "a@b> NOTIFY=NEVER", would reach the server as
// parameters of its own.
void CheckMailbox(const std::string& address);

} // namespace tunquil
