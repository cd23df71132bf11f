#pragma once
// One file attached to a message: its bytes are read when it is attached, so a file removed
// afterwards (the compressed archive is) still goes out whole.

#include <filesystem>
#include <string>

namespace tunquil {

class TmsAttachment {
public:
    // Reads the whole file; throws FileError when it cannot be read. The content type comes
    // from the file's extension, the transfer encoding from the content type.
    explicit TmsAttachment(const std::filesystem::path& path);
    // An attachment made from bytes in memory, named `fileName`.
    TmsAttachment(std::string fileName, std::string data, std::string contentType = {});

    const std::filesystem::path& path() const { return path_; }
    // The bare file name used in the headers.
    const std::string& fileName() const { return fileName_; }
    const std::string& data() const { return data_; }
    const std::string& contentType() const { return contentType_; }
    const std::string& encoding() const { return encoding_; }

private:
    std::filesystem::path path_;
    std::string fileName_;
    std::string data_;
    std::string contentType_;
    std::string encoding_;
};

} // namespace tunquil
