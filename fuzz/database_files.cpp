// Opens a database pair made of arbitrary bytes and reads every title and list record from
// it: damaged files must give errors, never reads outside a buffer or a file.

#include "base/ScriptedHost.h"
#include "database/ListRecords.h"
#include "database/TMyDB.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tunquil;

namespace {
const fs::path& WorkDir() {
    static fs::path dir = [] {
        std::string pattern = (fs::temp_directory_path() / "tunquil-fuzz.XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return fs::path(pattern);
    }();
    return dir;
}

void Write(const fs::path& path, const uint8_t* data, std::size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The first two bytes split the input into the descriptor file and the data file.
    if (size < 2)
        return 0;
    std::size_t split = (static_cast<std::size_t>(data[0]) << 8 | data[1]) * 4;
    data += 2;
    size -= 2;
    if (split > size)
        split = size;
    const fs::path& dir = WorkDir();
    Write(dir / "Music.des", data, split);
    Write(dir / "Music.dat", data + split, size - split);

    for (std::size_t at = 0; at + kPerformerRecordSize <= split; at += kPerformerRecordSize) {
        auto p = reinterpret_cast<const char*>(data + at);
        (void)DecodeCategoryRecord(p);
        (void)DecodePerformerRecord(p);
        (void)DecodeAlbumRecord(p);
    }

    ScriptedHost host;
    TMyDB db(host);
    try {
        db.Open(dir / "Music");
    } catch (const DatabaseError&) {
        return 0;
    }
    db.ForEachLiveTitle([&](const TitleRecord& r) {
        std::string bytes;
        if (db.ReadStoredData(r.masterKey, bytes) &&
            bytes.size() != static_cast<std::size_t>(r.dataSize))
            std::abort();
        (void)EncodeTitleRecord(r);
    });
    int32_t key;
    db.FindByOrigin("", key);
    return 0;
}
