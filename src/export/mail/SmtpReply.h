#pragma once
// An SMTP reply gathered line by line, apart from the socket so that any bytes a server may send
// can be tried against it. A server decides how many lines a reply has; the limits keep one that
// never ends its reply from taking the memory with it.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace tunquil {

class SmtpReply {
public:
    // Far above what a real server sends (an EHLO reply has a line per extension).
    static constexpr std::size_t kMaxLines = 100;
    static constexpr std::size_t kMaxBytes = 64 * 1024;

    // Takes the next line, without its line end; true once the reply is complete. Throws
    // EMailError (kMailReplyTooLong) when the reply goes past either limit.
    bool Add(std::string line);
    // Starts the next reply.
    void Clear();

    // The first line's code, -1 when it does not begin with three digits.
    int code() const { return code_; }
    const std::vector<std::string>& lines() const { return lines_; }
    // The line that ended the reply (or the last one taken).
    const std::string& last() const;

    // The extensions of an EHLO reply: each line after the first gives a keyword (in capitals)
    // and its parameters.
    std::map<std::string, std::string> Extensions() const;

private:
    std::vector<std::string> lines_;
    std::size_t bytes_ = 0;
    int code_ = -1;
};

// The reply code a line begins with, -1 when it does not begin with three digits.
int SmtpReplyCode(const std::string& line);

} // namespace tunquil
