// Arbitrary bytes as a server's side of an SMTP session: split into lines as the socket splits
// them, gathered into replies and read as EHLO replies. The first byte repeats the rest up to
// 255 times, as a server that says the same thing without end would; however much it sends, a
// reply must stay within its limits or end the session.

#include "export/mail/MailErrors.h"
#include "export/mail/SmtpReply.h"
#include "export/mail/TagSocket.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace tunquil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    int repeats = data[0] + 1;
    std::string_view said(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string buffer;
    std::size_t searched = 0;
    SmtpReply reply;
    std::size_t replyBytes = 0;
    std::string line;
    try {
        for (int r = 0; r < repeats; ++r) {
            for (std::size_t at = 0; at < said.size(); at += 4096) {
                buffer.append(said.substr(at, 4096));
                while (TagSocket::TakeLine(buffer, searched, line)) {
                    if (line.size() > TagSocket::kMaxLineLength ||
                        line.find('\n') != std::string::npos)
                        __builtin_trap();
                    replyBytes += line.size() + 2;
                    bool complete = reply.Add(line);
                    if (reply.lines().size() > SmtpReply::kMaxLines ||
                        replyBytes > SmtpReply::kMaxBytes)
                        __builtin_trap();
                    if (complete) {
                        for (const auto& [keyword, parameters] : reply.Extensions())
                            if (keyword.size() + parameters.size() > replyBytes)
                                __builtin_trap();
                        if (reply.code() > 999 || reply.last() != line)
                            __builtin_trap();
                        reply.Clear();
                        replyBytes = 0;
                    }
                }
                if (buffer.size() > TagSocket::kMaxLineLength + 4096)
                    __builtin_trap();
            }
        }
    } catch (const EMailError& e) {
        if (e.number() != kMailLineTooLong && e.number() != kMailReplyTooLong)
            __builtin_trap();
    }
    return 0;
}
