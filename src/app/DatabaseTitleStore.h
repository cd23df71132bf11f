#pragma once
// The titles the play program plays, from the data module's database, and the real archive and
// probe helpers.

#include "app/PlayServices.h"
#include "base/Host.h"

namespace tunquil {

class TDMM2;

class DatabaseTitleStore : public ITitleStore {
public:
    explicit DatabaseTitleStore(TDMM2& data) : data_(data) {}

    bool Extract(int key, const std::filesystem::path& target, TitleTexts& texts) override;
    void SetDuration(int seconds, int key) override;
    void DeleteTitle(int key) override;

private:
    TDMM2& data_;
};

// UnzipOneFile (its messages through `host`) and the file probe.
PlayTools RealPlayTools(IHost& host);

} // namespace tunquil
