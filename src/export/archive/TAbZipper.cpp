#include "export/archive/TAbZipper.h"

#include "base/Files.h"

#include <cerrno>
#include <ctime>
#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

namespace tunquil {

namespace {

// An entry's data as libzip takes it: deflated (or stored) by us, so that each file is
// compressed exactly once and the smaller of the two forms is kept. libzip copies data whose
// method, sizes and CRC the source states without touching them again.
class PreparedEntry {
public:
    PreparedEntry(fs::path file, std::string bytes, time_t modified)
        : file_(std::move(file)), raw_(std::move(bytes)), modified_(modified) {
        zip_error_init(&error_);
    }
    ~PreparedEntry() { zip_error_fini(&error_); }

    static zip_int64_t Callback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
        auto* self = static_cast<PreparedEntry*>(state);
        switch (cmd) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_READABLE;
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &self->error_);
            if (!st || !self->Prepare())
                return -1;
            zip_stat_init(st);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                        ZIP_STAT_MTIME;
            st->size = self->size_;
            st->comp_size = self->payload_.size();
            st->comp_method = self->deflated_ ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
            st->crc = self->crc_;
            st->mtime = self->modified_;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_OPEN:
            if (!self->Prepare())
                return -1;
            self->readPos_ = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            std::size_t n = std::min<std::size_t>(len, self->payload_.size() - self->readPos_);
            std::copy_n(self->payload_.data() + self->readPos_, n, static_cast<char*>(data));
            self->readPos_ += n;
            return static_cast<zip_int64_t>(n);
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&self->error_, data, len);
        case ZIP_SOURCE_FREE:
            delete self;
            return 0;
        default:
            zip_error_set(&self->error_, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

private:
    // Reads the file (when given by path) and compresses it, once.
    bool Prepare() {
        if (prepared_)
            return true;
        if (!file_.empty()) {
            try {
                raw_ = ReadWholeFile(file_);
            } catch (const FileError&) {
                zip_error_set(&error_, ZIP_ER_OPEN, errno);
                return false;
            }
            if (modified_ == 0) {
                struct stat sb {};
                if (::stat(file_.c_str(), &sb) == 0)
                    modified_ = sb.st_mtime;
            }
        }
        if (modified_ == 0)
            modified_ = std::time(nullptr);
        size_ = raw_.size();
        crc_ = static_cast<uint32_t>(
            crc32_z(crc32_z(0, nullptr, 0), reinterpret_cast<const Bytef*>(raw_.data()), size_));
        if (!Deflate()) {
            zip_error_set(&error_, ZIP_ER_ZLIB, 0);
            return false;
        }
        prepared_ = true;
        return true;
    }

    bool Deflate() {
        z_stream zs{};
        // Raw Deflate (no zlib header), level 9, as other ZIP tools write at their maximum.
        if (deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return false;
        std::string out(deflateBound(&zs, size_), '\0');
        zs.next_in = reinterpret_cast<Bytef*>(raw_.data());
        zs.avail_in = static_cast<uInt>(size_);
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = static_cast<uInt>(out.size());
        int rc = deflate(&zs, Z_FINISH);
        std::size_t produced = zs.total_out;
        deflateEnd(&zs);
        if (rc != Z_STREAM_END)
            return false;
        if (produced < size_) {
            out.resize(produced);
            payload_ = std::move(out);
            deflated_ = true;
        } else {
            payload_ = std::move(raw_); // Deflate did not shrink it: store it as it is
            deflated_ = false;
        }
        raw_.clear();
        raw_.shrink_to_fit();
        return true;
    }

    fs::path file_;
    std::string raw_;
    std::string payload_;
    time_t modified_ = 0;
    std::size_t size_ = 0;
    uint32_t crc_ = 0;
    bool deflated_ = false;
    bool prepared_ = false;
    std::size_t readPos_ = 0;
    zip_error_t error_;
};

std::string ZipErrorText(zip_error_t* error) {
    return zip_error_strerror(error);
}

} // namespace

TAbZipper::TAbZipper() = default;

TAbZipper::~TAbZipper() {
    Discard();
}

std::string TAbZipper::BareName(const std::string& path) {
    std::string name = path;
    auto cut = name.find_last_of("/\\");
    if (cut != std::string::npos)
        name.erase(0, cut + 1);
    if (name.size() >= 2 && name[1] == ':')
        name.erase(0, 2); // a drive letter left by a Windows path
    if (name == "." || name == "..")
        name.clear();
    return name;
}

void TAbZipper::Open(const fs::path& archive) {
    Discard();
    int err = 0;
    struct zip* za = zip_open(archive.c_str(), ZIP_CREATE, &err);
    if (!za) {
        zip_error_t error;
        zip_error_init_with_code(&error, err);
        std::string text = "Cannot open archive " + archive.string() + ": " + ZipErrorText(&error);
        zip_error_fini(&error);
        throw EZipError(text);
    }
    archive_ = za;
    fileName_ = archive;
    added_ = 0;
    aborted_ = false;
}

bool TAbZipper::AddFile(const fs::path& file) {
    return AddFile(file, BareName(file.string()));
}

bool TAbZipper::AddFile(const fs::path& file, const std::string& entryName) {
    fs::path full = file.is_absolute() || baseDirectory_.empty() ? file : baseDirectory_ / file;
    std::error_code ec;
    if (!fs::is_regular_file(full, ec))
        throw EZipError("Cannot add " + full.string() + ": no such file");
    if (!archive_)
        throw EZipError("No archive open");
    std::string name = BareName(entryName);
    if (name.empty())
        throw EZipError("Cannot add " + full.string() + ": no file name");
    if (zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE) >= 0)
        return false;
    auto* entry = new PreparedEntry(full, {}, 0);
    return AddPrepared(entry, name);
}

bool TAbZipper::AddBytes(std::string bytes, const std::string& entryName, int64_t modified) {
    if (!archive_)
        throw EZipError("No archive open");
    std::string name = BareName(entryName);
    if (name.empty())
        throw EZipError("Cannot add an entry without a file name");
    if (zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE) >= 0)
        return false;
    auto* entry = new PreparedEntry({}, std::move(bytes), static_cast<time_t>(modified));
    return AddPrepared(entry, name);
}

bool TAbZipper::AddPrepared(void* prepared, const std::string& name) {
    auto* entry = static_cast<PreparedEntry*>(prepared);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_function_create(&PreparedEntry::Callback, entry, &error);
    if (!src) {
        delete entry;
        std::string text = ZipErrorText(&error);
        zip_error_fini(&error);
        throw EZipError("Cannot add " + name + ": " + text);
    }
    zip_error_fini(&error);
    zip_int64_t index = zip_file_add(archive_, name.c_str(), src, ZIP_FL_ENC_GUESS);
    if (index < 0) {
        zip_source_free(src); // frees the entry too
        throw EZipError("Cannot add " + name + ": " + zip_strerror(archive_));
    }
    // A plain file readable by all and writable by its owner when unpacked elsewhere (libzip's
    // default would make it writable by everyone).
    zip_file_set_external_attributes(archive_, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                     0100644u << 16);
    ++added_;
    return true;
}

int TAbZipper::Count() const {
    return archive_ ? static_cast<int>(zip_get_num_entries(archive_, 0)) : 0;
}

void TAbZipper::Save() {
    if (!archive_)
        return;
    struct zip* za = archive_;
    archive_ = nullptr;
    aborted_ = false;
    std::exception_ptr failure;
    struct CallbackState {
        TAbZipper* self;
        std::exception_ptr* failure;
    } state{this, &failure};
    zip_register_progress_callback_with_state(
        za, 0.01,
        [](zip_t*, double done, void* p) {
            auto* s = static_cast<CallbackState*>(p);
            if (!s->self->OnArchiveProgress || s->self->aborted_)
                return;
            bool abort = false;
            try {
                s->self->OnArchiveProgress(static_cast<int>(done * 100.0 + 0.5), abort);
            } catch (...) {
                *s->failure = std::current_exception();
                abort = true;
            }
            if (abort)
                s->self->aborted_ = true;
        },
        nullptr, &state);
    zip_register_cancel_callback_with_state(
        za, [](zip_t*, void* p) { return static_cast<CallbackState*>(p)->self->aborted_ ? 1 : 0; },
        nullptr, &state);
    // libzip writes a temporary file beside the archive and renames it over the old one only
    // when everything was written, so a failed or cancelled write leaves the old archive whole.
    if (zip_close(za) != 0) {
        std::string text = zip_strerror(za);
        zip_discard(za);
        if (failure)
            std::rethrow_exception(failure);
        if (aborted_)
            throw EZipAborted("Archiving cancelled");
        throw EZipError("Cannot write " + fileName_.string() + ": " + text);
    }
}

void TAbZipper::Discard() {
    if (archive_) {
        zip_discard(archive_);
        archive_ = nullptr;
    }
}

} // namespace tunquil
