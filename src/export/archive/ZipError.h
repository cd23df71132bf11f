#pragma once
// Failures of the archive components. The text is what the user is shown after a context label
// ("Unzipping error: "), so it names the archive or entry and the reason.

#include <stdexcept>

namespace tunquil {

class EZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The progress event asked to stop; nothing was written.
class EZipAborted : public EZipError {
public:
    using EZipError::EZipError;
};

} // namespace tunquil
