#include "database/ListFile.h"

namespace tunquil {

std::string RecordFile::Read(const fs::path& path) {
    std::error_code ec;
    bool exists = fs::exists(path, ec);
    state_ = State::Unreadable;
    if (ec)
        throw FileError(DescribeErrno("Cannot read", path, ec.value()));
    std::string bytes = exists ? ReadWholeFile(path) : std::string();
    bytes.resize(bytes.size() / recordSize_ * recordSize_);
    Remember(bytes);
    return bytes;
}

void RecordFile::Remember(std::string bytes) {
    bytes_ = std::move(bytes);
    at_.clear();
    for (std::size_t at = 0; at < bytes_.size(); at += recordSize_)
        at_.try_emplace(keyOf_(bytes_.data() + at), at);
    state_ = State::Known;
}

const char* RecordFile::Find(int64_t key) const {
    auto known = at_.find(key);
    return known == at_.end() ? nullptr : bytes_.data() + known->second;
}

bool RecordFile::Write(const fs::path& path, std::string bytes) {
    if (state_ == State::Unreadable)
        throw FileError(path.string() + " could not be read whole, so it is not written over.");
    if (state_ == State::Known && bytes == bytes_)
        return false;
    WriteFileAtomically(path, bytes);
    Remember(std::move(bytes));
    return true;
}

} // namespace tunquil
