#include "DatabaseTestSupport.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <zip.h>

namespace tunquil::test {

void WriteStoredArchive(const std::filesystem::path& path, const std::string& content) {
    int err = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!archive)
        throw std::runtime_error("zip_open failed");
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (!source || zip_file_add(archive, "AAATune.TTT", source, ZIP_FL_OVERWRITE) < 0) {
        zip_source_free(source);
        zip_discard(archive);
        throw std::runtime_error("zip_file_add failed");
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("zip_close failed");
}

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TitleRecord SampleTitle(const std::string& title, int32_t ck, int32_t pk) {
    TitleRecord r;
    r.title = title;
    r.ck = ck;
    r.pk = pk;
    r.categoryName = "Rock";
    r.firstName = "Ann";
    r.lastName = "Lee";
    r.artist = "Ann Lee";
    r.duration = 125;
    r.durationText = DurationText(125);
    r.origin = "/music/" + title + ".mid";
    r.dateObtained = 45000.5;
    return r;
}

} // namespace tunquil::test
