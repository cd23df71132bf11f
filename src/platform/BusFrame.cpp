#include "platform/MessageBus.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace tunquil::platform {

namespace {
constexpr char kMagic[4] = {'T', 'Q', 'M', 'B'};
constexpr std::size_t kHeaderSize = 8;

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void PutI64(std::string& out, int64_t value) {
    auto v = static_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ == bytes_.size(); }
    uint64_t Unsigned(int size) {
        if (!Need(size))
            return 0;
        uint64_t v = 0;
        for (int i = 0; i < size; ++i)
            v |= static_cast<uint64_t>(static_cast<unsigned char>(bytes_[pos_ + i])) << (8 * i);
        pos_ += size;
        return v;
    }
    std::string Text(std::size_t length, std::size_t limit) {
        if (length > limit || !Need(length))
            return ok_ = false, std::string();
        std::string s(bytes_.substr(pos_, length));
        pos_ += length;
        // A NUL cannot be part of an argument or an atom; a text holding one is forged.
        if (s.find('\0') != std::string::npos)
            ok_ = false;
        return s;
    }

private:
    bool Need(std::size_t n) {
        if (!ok_ || bytes_.size() - pos_ < n)
            ok_ = false;
        return ok_;
    }
    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

bool ValidName(const std::string& name) {
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            return false;
    return name.size() <= kMaxMessageName;
}
} // namespace

std::string EncodeFrame(const BusMessage& m) {
    if (!ValidName(m.name) || m.text.size() > kMaxAtomText || m.items.size() > kMaxFrameItems)
        throw BusError("The message cannot be sent: its name, text or list is too long");
    std::string payload;
    payload.push_back(static_cast<char>(m.kind));
    PutU32(payload, m.number);
    payload.push_back(static_cast<char>(m.name.size()));
    payload += m.name;
    PutI64(payload, m.wParam);
    PutI64(payload, m.lParam);
    payload.push_back(static_cast<char>(m.text.size() & 0xFF));
    payload.push_back(static_cast<char>(m.text.size() >> 8));
    payload += m.text;
    PutU32(payload, static_cast<uint32_t>(m.items.size()));
    for (const std::string& item : m.items) {
        if (payload.size() + kFrameItemOverhead + item.size() > kMaxFramePayload)
            throw BusError("The message cannot be sent: its arguments are too long");
        PutU32(payload, static_cast<uint32_t>(item.size()));
        payload += item;
    }
    std::string frame(kMagic, sizeof kMagic);
    PutU32(frame, static_cast<uint32_t>(payload.size()));
    return frame + payload;
}

FrameStatus ParseFrame(std::string_view bytes, BusMessage& message, std::size_t& consumed) {
    std::size_t magic = std::min(bytes.size(), sizeof kMagic);
    if (std::memcmp(bytes.data(), kMagic, magic) != 0)
        return FrameStatus::Malformed;
    if (bytes.size() < kHeaderSize)
        return FrameStatus::NeedMore;
    uint64_t length = Reader(bytes.substr(4, 4)).Unsigned(4);
    if (length > kMaxFramePayload)
        return FrameStatus::Malformed;
    if (bytes.size() - kHeaderSize < length)
        return FrameStatus::NeedMore;

    Reader r(bytes.substr(kHeaderSize, length));
    BusMessage m;
    auto kind = r.Unsigned(1);
    if (kind < 1 || kind > 3)
        return FrameStatus::Malformed;
    m.kind = static_cast<BusKind>(kind);
    m.number = static_cast<uint32_t>(r.Unsigned(4));
    m.name = r.Text(r.Unsigned(1), kMaxMessageName);
    m.wParam = static_cast<int64_t>(r.Unsigned(8));
    m.lParam = static_cast<int64_t>(r.Unsigned(8));
    m.text = r.Text(r.Unsigned(2), kMaxAtomText);
    uint64_t count = r.Unsigned(4);
    if (count > kMaxFrameItems)
        return FrameStatus::Malformed;
    for (uint64_t i = 0; i < count && r.Ok(); ++i)
        m.items.push_back(r.Text(r.Unsigned(4), kMaxFramePayload));
    // A frame names either a number or a name, and holds nothing after its last field.
    if (!r.Ok() || !r.AtEnd() || !ValidName(m.name) || (m.number == 0) == m.name.empty())
        return FrameStatus::Malformed;
    message = std::move(m);
    consumed = kHeaderSize + length;
    return FrameStatus::Complete;
}

std::filesystem::path BusRuntimeDirectory() {
    if (const char* dir = std::getenv("TUNQUIL_RUNTIME_DIR"); dir && *dir)
        return dir;
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg)
        return std::filesystem::path(xdg) / "tunquil";
    return std::filesystem::path("/tmp") / ("tunquil-" + std::to_string(getuid()));
}

} // namespace tunquil::platform
