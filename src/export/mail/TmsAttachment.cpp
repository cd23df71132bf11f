#include "export/mail/TmsAttachment.h"

#include "base/Files.h"
#include "export/mail/MimeTypes.h"

namespace tunquil {

TmsAttachment::TmsAttachment(const std::filesystem::path& path)
    : path_(path), fileName_(path.filename().string()), data_(ReadWholeFile(path)),
      contentType_(ContentTypeForFile(path)), encoding_(TransferEncodingFor(contentType_)) {}

TmsAttachment::TmsAttachment(std::string fileName, std::string data, std::string contentType)
    : path_(fileName), fileName_(std::move(fileName)), data_(std::move(data)),
      contentType_(contentType.empty() ? ContentTypeForFile(fileName_) : std::move(contentType)),
      encoding_(TransferEncodingFor(contentType_)) {}

} // namespace tunquil
