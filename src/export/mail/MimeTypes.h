#pragma once
// Content types of attached files, from the system's media-type database.

#include <filesystem>
#include <string>
#include <string_view>

namespace tunquil {

// The content type for a file's extension: /etc/mime.types first, then shared-mime-info's
// glob list; "application/octet-stream" when neither knows it.
std::string ContentTypeForFile(const std::filesystem::path& file);

// "quoted-printable" for text/plain, text/rtf and text/html, "7bit" for message/rfc822 and
// "base64" for every other type (compared without regard to case).
std::string TransferEncodingFor(std::string_view contentType);

} // namespace tunquil
