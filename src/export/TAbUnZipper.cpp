#include "export/TAbUnZipper.h"

#include "base/Files.h"
#include "base/Text.h"
#include "export/TAbZipper.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace tunquil {

TAbUnZipper::~TAbUnZipper() {
    Close();
}

void TAbUnZipper::Open(const fs::path& archive) {
    Close();
    int err = 0;
    struct zip* za = zip_open(archive.c_str(), ZIP_RDONLY, &err);
    if (!za) {
        zip_error_t error;
        zip_error_init_with_code(&error, err);
        std::string text = archive.string() + ": " + zip_error_strerror(&error);
        zip_error_fini(&error);
        throw EZipError(text);
    }
    archive_ = za;
    fileName_ = archive;
}

void TAbUnZipper::OpenBytes(std::string bytes) {
    Close();
    bytes_ = std::move(bytes);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes_.data(), bytes_.size(), 0, &error);
    struct zip* za = src ? zip_open_from_source(src, ZIP_RDONLY, &error) : nullptr;
    if (!za) {
        if (src)
            zip_source_free(src);
        std::string text = std::string("stored data: ") + zip_error_strerror(&error);
        zip_error_fini(&error);
        throw EZipError(text);
    }
    zip_error_fini(&error);
    archive_ = za;
    fileName_ = "stored data";
}

void TAbUnZipper::Close() {
    if (archive_) {
        zip_discard(archive_);
        archive_ = nullptr;
    }
}

int TAbUnZipper::Count() const {
    return archive_ ? static_cast<int>(zip_get_num_entries(archive_, 0)) : 0;
}

std::string TAbUnZipper::EntryName(int index) const {
    if (!archive_)
        return {};
    const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_GUESS);
    return name ? TAbZipper::BareName(name) : std::string();
}

bool TAbUnZipper::IsExtractable(int index) const {
    auto i = static_cast<zip_uint64_t>(index);
    const char* raw = zip_get_name(archive_, i, ZIP_FL_ENC_GUESS);
    if (!raw || TAbZipper::BareName(raw).empty())
        return false; // a directory entry, or a name that is nothing but "." or ".."
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive_, i, 0, &opsys, &attributes) == 0 &&
        opsys == ZIP_OPSYS_UNIX) {
        mode_t mode = attributes >> 16;
        if (S_ISLNK(mode) || S_ISDIR(mode))
            return false;
    }
    return true;
}

std::vector<std::string> TAbUnZipper::FileNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < Count(); ++i)
        if (IsExtractable(i))
            names.push_back(EntryName(i));
    return names;
}

namespace {

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

} // namespace

int TAbUnZipper::ExtractFiles(const std::string& mask) {
    if (!archive_)
        throw EZipError("No archive open");
    fs::path base = baseDirectory_;
    if (base.has_filename() == false && base.has_parent_path())
        base = base.parent_path();
    std::error_code ec;
    if (!fs::is_directory(base, ec))
        throw EZipError("Directory " + base.string() + " does not exist");

    // Check every size before writing anything, so a refused archive leaves nothing behind.
    std::vector<int> chosen;
    std::vector<uint64_t> sizes;
    uint64_t total = 0;
    for (int i = 0; i < Count(); ++i) {
        bool all = mask == "*.*" || mask == "*";
        if (!IsExtractable(i) || !(all || MatchesMask(EntryName(i), mask)))
            continue;
        zip_stat_t st;
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &st) != 0)
            throw EZipError(std::string("Cannot read entry: ") + zip_strerror(archive_));
        if (!(st.valid & ZIP_STAT_SIZE))
            throw EZipError("Entry " + EntryName(i) + " has no size");
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            throw EZipError("Entry " + EntryName(i) + " is encrypted");
        if (st.size > kMaxEntrySize)
            throw EZipError("Entry " + EntryName(i) + " is too large");
        total += st.size;
        if (total > kMaxTotalSize)
            throw EZipError("Archive " + fileName_.string() + " unpacks too large");
        chosen.push_back(i);
        sizes.push_back(st.size);
    }

    uint64_t done = 0;
    auto report = [&](uint64_t bytes) {
        if (!OnArchiveProgress)
            return;
        bool abort = false;
        int percent = total ? static_cast<int>(bytes * 100 / total) : 100;
        OnArchiveProgress(percent, abort);
        if (abort)
            throw EZipAborted("Extraction cancelled");
    };
    report(0);
    std::string buffer(1 << 16, '\0');
    int written = 0;
    for (std::size_t k = 0; k < chosen.size(); ++k) {
        int index = chosen[k];
        std::string name = EntryName(index);
        std::unique_ptr<zip_file_t, ZipFileCloser> in(
            zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
        if (!in)
            throw EZipError("Cannot read " + name + ": " + zip_strerror(archive_));
        // The entry goes to a new file first and is renamed over its name at the end, so a
        // damaged entry leaves no half file and a symbolic link of that name is replaced, never
        // followed.
        std::string temp = (base / ".unzip-XXXXXX").string();
        int fd = ::mkstemp(temp.data());
        if (fd < 0)
            throw EZipError(DescribeErrno("Cannot create", temp, errno));
        FdCloser closer{fd};
        bool ok = false;
        struct RemoveUnlessDone {
            const std::string& path;
            bool& ok;
            ~RemoveUnlessDone() {
                if (!ok)
                    ::unlink(path.c_str());
            }
        } cleanup{temp, ok};
        uint64_t got = 0;
        for (;;) {
            zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
            if (n < 0)
                throw EZipError("Cannot read " + name + ": " + zip_file_strerror(in.get()));
            if (n == 0)
                break;
            got += static_cast<uint64_t>(n);
            // The stored size may lie; never write more than it announced.
            if (got > sizes[k])
                throw EZipError("Entry " + name + " is larger than announced");
            try {
                WriteAll(fd, buffer.data(), static_cast<std::size_t>(n), temp);
            } catch (const FileError& e) {
                throw EZipError(e.what());
            }
            report(done + got);
        }
        if (got != sizes[k])
            throw EZipError("Entry " + name + " is shorter than announced");
        ::fchmod(fd, 0644);
        ::close(fd);
        closer.fd = -1;
        if (::rename(temp.c_str(), (base / name).c_str()) != 0)
            throw EZipError(DescribeErrno("Cannot write", base / name, errno));
        ok = true;
        done += sizes[k];
        ++written;
        report(done);
    }
    report(total);
    return written;
}

bool TAbUnZipper::EntryEquals(int index, std::string_view bytes) const {
    if (!archive_)
        throw EZipError("No archive open");
    auto i = static_cast<zip_uint64_t>(index);
    zip_stat_t st;
    if (zip_stat_index(archive_, i, 0, &st) != 0)
        throw EZipError(std::string("Cannot read entry: ") + zip_strerror(archive_));
    if ((st.valid & ZIP_STAT_SIZE) && st.size != bytes.size())
        return false;
    std::unique_ptr<zip_file_t, ZipFileCloser> in(zip_fopen_index(archive_, i, 0));
    if (!in)
        throw EZipError("Cannot read " + EntryName(index) + ": " + zip_strerror(archive_));
    // Compared a block at a time: the entry is never held whole.
    std::string buffer(1 << 16, '\0');
    std::size_t at = 0;
    for (;;) {
        zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
        if (n < 0)
            throw EZipError("Cannot read " + EntryName(index) + ": " + zip_file_strerror(in.get()));
        if (n == 0)
            return at == bytes.size();
        auto got = static_cast<std::size_t>(n);
        if (got > bytes.size() - at || bytes.compare(at, got, buffer.data(), got) != 0)
            return false;
        at += got;
    }
}

} // namespace tunquil
