#include "export/mail/SmtpReply.h"

#include "base/Text.h"
#include "export/mail/MailErrors.h"

namespace tunquil {

int SmtpReplyCode(const std::string& line) {
    if (line.size() < 3)
        return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return -1;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

void SmtpReply::Clear() {
    lines_.clear();
    bytes_ = 0;
    code_ = -1;
}

bool SmtpReply::Add(std::string line) {
    bytes_ += line.size() + 2;
    if (lines_.size() >= kMaxLines || bytes_ > kMaxBytes)
        throw EMailError(kMailReplyTooLong);
    if (lines_.empty()) {
        code_ = SmtpReplyCode(line);
        lines_.push_back(std::move(line));
        const std::string& first = lines_.back();
        return first.size() <= 3 || first[3] != '-';
    }
    lines_.push_back(std::move(line));
    const std::string& l = lines_.back();
    return SmtpReplyCode(l) == code_ && (l.size() == 3 || l[3] == ' ');
}

const std::string& SmtpReply::last() const {
    static const std::string none;
    return lines_.empty() ? none : lines_.back();
}

std::map<std::string, std::string> SmtpReply::Extensions() const {
    std::map<std::string, std::string> extensions;
    for (std::size_t i = 1; i < lines_.size(); ++i) {
        std::string text = lines_[i].size() > 4 ? lines_[i].substr(4) : "";
        std::size_t space = text.find(' ');
        std::string keyword = UpperAscii(text.substr(0, space));
        extensions[keyword] = space == std::string::npos ? "" : text.substr(space + 1);
    }
    return extensions;
}

} // namespace tunquil
