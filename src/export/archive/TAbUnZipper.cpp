#include "export/archive/TAbUnZipper.h"

#include "base/Files.h"
#include "base/Text.h"
#include "export/archive/TAbZipper.h"

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
    return name ? MemberFileName(name) : std::string();
}

std::string TAbUnZipper::MemberFileName(std::string_view storedName) {
    // The control characters go first: taken out of ".\n." afterwards, they would leave "..".
    return TAbZipper::BareName(WithoutControlCharacters(DecodeStoredText(storedName)));
}

bool TAbUnZipper::IsFileEntry(int index) const {
    if (!archive_)
        return false;
    auto i = static_cast<zip_uint64_t>(index);
    const char* raw = zip_get_name(archive_, i, ZIP_FL_ENC_GUESS);
    if (!raw)
        return false;
    std::string_view name(raw);
    if (!name.empty() && (name.back() == '/' || name.back() == '\\'))
        return false; // a folder, as every tool names one
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive_, i, 0, &opsys, &attributes) == 0) {
        if (opsys == ZIP_OPSYS_UNIX) {
            mode_t mode = attributes >> 16;
            if (S_ISLNK(mode) || S_ISDIR(mode))
                return false;
        } else if (opsys == ZIP_OPSYS_DOS && (attributes & 0x10)) {
            return false; // the DOS directory attribute
        }
    }
    return true;
}

std::string TAbUnZipper::NameProblem(int index) const {
    std::string name = EntryName(index);
    std::string entry = "Entry " + std::to_string(index + 1);
    if (name.empty())
        return entry + " has no file name";
    if (name.size() > kMaxNameBytes)
        return entry + " has a file name longer than " + std::to_string(kMaxNameBytes) + " bytes";
    return {};
}

std::vector<std::string> TAbUnZipper::FileNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < Count(); ++i)
        if (IsFileEntry(i) && NameProblem(i).empty())
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
    bool all = mask == "*.*" || mask == "*";
    std::vector<Extraction> plan;
    for (int i = 0; i < Count(); ++i)
        if (IsFileEntry(i) && NameProblem(i).empty() && (all || MatchesMask(EntryName(i), mask)))
            plan.push_back({i, base / EntryName(i)});
    return ExtractEntries(plan);
}

std::vector<uint64_t> TAbUnZipper::CheckEntries(const std::vector<int>& indices) const {
    std::vector<uint64_t> sizes;
    uint64_t total = 0;
    for (int i : indices) {
        zip_stat_t st;
        if (i < 0 || zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &st) != 0)
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
        sizes.push_back(st.size);
    }
    return sizes;
}

void TAbUnZipper::CopyEntry(int index, uint64_t size,
                            const std::function<void(const char*, std::size_t)>& sink,
                            const std::function<void(uint64_t)>& progress) {
    std::string name = EntryName(index);
    std::unique_ptr<zip_file_t, ZipFileCloser> in(
        zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
    if (!in)
        throw EZipError("Cannot read " + name + ": " + zip_strerror(archive_));
    std::string buffer(1 << 16, '\0');
    uint64_t got = 0;
    for (;;) {
        // libzip checks the CRC once the last byte is read, so a damaged entry fails here.
        zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
        if (n < 0)
            throw EZipError("Cannot read " + name + ": " + zip_file_strerror(in.get()));
        if (n == 0)
            break;
        got += static_cast<uint64_t>(n);
        // The stored size may lie; never take more than it announced.
        if (got > size)
            throw EZipError("Entry " + name + " is larger than announced");
        sink(buffer.data(), static_cast<std::size_t>(n));
        if (progress)
            progress(got);
    }
    if (got != size)
        throw EZipError("Entry " + name + " is shorter than announced");
}

std::string TAbUnZipper::ReadEntry(int index) {
    if (!archive_)
        throw EZipError("No archive open");
    uint64_t size = CheckEntries({index}).front();
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    CopyEntry(index, size, [&](const char* data, std::size_t n) { bytes.append(data, n); }, {});
    return bytes;
}

int TAbUnZipper::ExtractEntries(const std::vector<Extraction>& plan) {
    if (!archive_)
        throw EZipError("No archive open");
    // Check every size before writing anything, so a refused archive leaves nothing behind.
    std::vector<int> indices;
    for (const auto& e : plan)
        indices.push_back(e.index);
    std::vector<uint64_t> sizes = CheckEntries(indices);
    uint64_t total = 0;
    for (uint64_t size : sizes)
        total += size;

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
    int written = 0;
    for (std::size_t k = 0; k < plan.size(); ++k) {
        const fs::path& target = plan[k].target;
        fs::path dir = target.parent_path();
        // The entry goes to a new file first and is renamed over its name at the end, so a
        // damaged entry leaves no half file and a symbolic link of that name is replaced, never
        // followed.
        std::string temp = (dir / ".unzip-XXXXXX").string();
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
        CopyEntry(
            plan[k].index, sizes[k],
            [&](const char* data, std::size_t n) {
                try {
                    WriteAll(fd, data, n, temp);
                } catch (const FileError& e) {
                    throw EZipError(e.what());
                }
            },
            [&](uint64_t got) { report(done + got); });
        ::fchmod(fd, 0644);
        ::close(fd);
        closer.fd = -1;
        if (::rename(temp.c_str(), target.c_str()) != 0)
            throw EZipError(DescribeErrno("Cannot write", target, errno));
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
