#pragma once
// A lowered file-size limit for this process, as `prlimit --fsize` gives one: every write past
// it fails. Children started meanwhile inherit it.

#include <csignal>
#include <sys/resource.h>

namespace tunquil::test {

class FileSizeLimit {
public:
    // With `ignoreSignal`, a write past the limit fails with EFBIG in this process, as in the
    // programs; without, SIGXFSZ keeps its default action, so a child that does not ignore it
    // is ended by it.
    FileSizeLimit(rlim_t bytes, bool ignoreSignal) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
        oldAction_ = ::signal(SIGXFSZ, ignoreSignal ? SIG_IGN : SIG_DFL);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldAction_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldAction_)(int) = SIG_DFL;
};

} // namespace tunquil::test
