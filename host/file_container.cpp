#include "host/file_container.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "errors/error_handling.h"

namespace kartoplot::host {

namespace {

using json = nlohmann::json;

constexpr const char* kSource = "FileContainer";
constexpr std::size_t kMagicBytes = 8;
constexpr std::size_t kVersionOffset = kMagicBytes;
constexpr std::size_t kLengthOffset = kMagicBytes + 4;
constexpr std::size_t kReadChunk = std::size_t{1} << 16;

[[noreturn]] void badFormat(const std::string& what, const std::string& problem) {
    throw HostError(errnum::kBadFileFormat, kSource, what + " " + problem);
}

std::uint64_t bigEndian(std::string_view bytes, std::size_t offset, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

void appendBigEndian(std::string& out, std::uint64_t value, std::size_t count) {
    for (std::size_t i = count; i-- > 0;) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
    }
}

// Builds the tree from the CBOR reader's events, counting nesting and values as they come, so
// that a refusal happens before the reader descends further or anything large is built.
class LimitedTreeBuilder {
public:
    // Builds into `root`; with nullptr it only checks the limits (for data this program wrote).
    explicit LimitedTreeBuilder(json* root) : root_(root) {}

    const std::string& problem() const noexcept { return problem_; }

    bool null() { return add(json(nullptr)); }
    bool boolean(bool value) { return add(json(value)); }
    bool number_integer(json::number_integer_t value) { return add(json(value)); }
    bool number_unsigned(json::number_unsigned_t value) { return add(json(value)); }
    bool number_float(json::number_float_t value, const json::string_t&) { return add(json(value)); }
    bool string(json::string_t& value) { return add(json(std::move(value))); }
    bool binary(json::binary_t& value) { return add(json::binary(std::move(static_cast<std::vector<std::uint8_t>&>(value)))); }

    bool start_object(std::size_t) { return open(json::object()); }
    bool key(json::string_t& name) {
        if (!count()) {
            return false;
        }
        if (root_ == nullptr) {
            return true;
        }
        json& object = *stack_.back();
        if (object.contains(name)) {
            return refuse("repeats the key \"" + printable(name) + "\" in one map");
        }
        pendingKey_ = &object[name];
        return true;
    }
    bool end_object() { return close(); }

    bool start_array(std::size_t) { return open(json::array()); }
    bool end_array() { return close(); }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) {
        // The reader's own words end with the byte it stopped at; the cause comes first.
        const std::string text = error.what();
        if (text.find("unexpected end of input") != std::string::npos) {
            return refuse("is truncated (its data ends at byte " + std::to_string(position) + ")");
        }
        if (text.find("expected end of input") != std::string::npos) {
            return refuse("has stray bytes after its data (from byte " + std::to_string(position) + ")");
        }
        return refuse("is damaged at byte " + std::to_string(position) + " of its data");
    }

    // A text shown in a message: control bytes escaped, cut to a readable length.
    static std::string printable(std::string_view text) {
        constexpr std::size_t kShown = 64;
        std::string out;
        for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x20 || c == 0x7F) {
                constexpr std::string_view kHex = "0123456789ABCDEF";
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 0xFu];
            } else {
                out += static_cast<char>(c);
            }
        }
        if (text.size() > kShown) {
            out += "...";
        }
        return out;
    }

private:
    bool refuse(std::string problem) {
        if (problem_.empty()) {
            problem_ = std::move(problem);
        }
        return false;
    }

    bool count() {
        if (++values_ > kMaxValues) {
            return refuse("holds more than " + std::to_string(kMaxValues) + " values");
        }
        return true;
    }

    // Places a value: as the root, at the pending key of a map, or at the end of an array.
    json* place(json&& value) {
        if (root_ == nullptr) {
            return nullptr;
        }
        if (stack_.empty()) {
            *root_ = std::move(value);
            return root_;
        }
        json& parent = *stack_.back();
        if (parent.is_object()) {
            *pendingKey_ = std::move(value);
            return pendingKey_;
        }
        parent.push_back(std::move(value));
        return &parent.back();
    }

    bool add(json&& value) {
        if (!count()) {
            return false;
        }
        place(std::move(value));
        return true;
    }

    bool open(json&& container) {
        if (!count()) {
            return false;
        }
        if (stack_.size() >= static_cast<std::size_t>(kMaxNesting)) {
            return refuse("nests values deeper than " + std::to_string(kMaxNesting) + " levels");
        }
        stack_.push_back(place(std::move(container)));
        return true;
    }

    bool close() {
        stack_.pop_back();
        return true;
    }

    json* root_ = nullptr;                 // not owned; nullptr when only checking
    std::vector<json*> stack_;             // open arrays and maps, innermost last; not owned
    json* pendingKey_ = nullptr;           // the slot the next map value goes to; not owned
    std::size_t values_ = 0;
    std::string problem_;
};

}  // namespace

std::string wrapContainer(std::string_view body) {
    if (body.size() > kMaxFileBytes - kHeaderBytes) {
        throw HostError(errnum::kOverflow, kSource,
                        "The data is too large to be stored: files hold at most 256 MiB.");
    }
    std::string out;
    out.reserve(kHeaderBytes + body.size());
    out.append(kFileMagic);
    appendBigEndian(out, kFormatVersion.major, 2);
    appendBigEndian(out, kFormatVersion.minor, 2);
    appendBigEndian(out, body.size(), 8);
    out.append(body);
    return out;
}

std::string_view openContainer(std::string_view bytes, const std::string& what) {
    const std::size_t magicSeen = std::min(bytes.size(), kMagicBytes);
    if (bytes.substr(0, magicSeen) != kFileMagic.substr(0, magicSeen) || bytes.empty()) {
        badFormat(what, "is not a Kartoplot data file.");
    }
    if (bytes.size() < kHeaderBytes) {
        badFormat(what, "is truncated: its header is cut short.");
    }
    const FormatVersion version{static_cast<std::uint16_t>(bigEndian(bytes, kVersionOffset, 2)),
                                static_cast<std::uint16_t>(bigEndian(bytes, kVersionOffset + 2, 2))};
    if (version.major != kFormatVersion.major) {
        const std::string written = std::to_string(version.major) + "." + std::to_string(version.minor);
        badFormat(what, std::string("is written in file format version ") + written +
                            (version.major > kFormatVersion.major ? ", newer than" : ", which is not supported by") +
                            " this program (it reads version " + std::to_string(kFormatVersion.major) + ".x).");
    }
    const std::uint64_t length = bigEndian(bytes, kLengthOffset, 8);
    const std::size_t available = bytes.size() - kHeaderBytes;
    if (length > available) {
        badFormat(what, "is truncated: it holds " + std::to_string(available) + " of its " +
                            std::to_string(length) + " bytes of data.");
    }
    if (length < available) {
        badFormat(what, "has " + std::to_string(available - length) + " stray bytes after its data.");
    }
    return bytes.substr(kHeaderBytes);
}

json parseBody(std::string_view body, const std::string& what) {
    json tree;
    LimitedTreeBuilder builder(&tree);
    const bool parsed = json::sax_parse(body.begin(), body.end(), &builder, json::input_format_t::cbor, true);
    if (!parsed) {
        badFormat(what, (builder.problem().empty() ? std::string("is damaged") : builder.problem()) + ".");
    }
    return tree;
}

void checkBody(std::string_view body, const std::string& what) {
    LimitedTreeBuilder checker(nullptr);
    if (!json::sax_parse(body.begin(), body.end(), &checker, json::input_format_t::cbor, true)) {
        badFormat(what, (checker.problem().empty() ? std::string("is damaged") : checker.problem()) + ".");
    }
}

std::string serializeBody(const json& tree) {
    std::string out;
    json::to_cbor(tree, out);
    return out;
}

std::string readContainerFile(const std::string& path) {
    const auto cannot = [&](std::int32_t number, const std::string& reason) {
        throw HostError(number, kSource, "Cannot read " + path + ": " + reason + ".");
    };
    // Non-blocking, so that a named pipe does not wait for a writer before it is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        cannot(error == ENOENT ? errnum::kFileNotFound : errnum::kFileIo, std::strerror(error));
    }
    struct Closer {
        int fd = -1;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        cannot(errnum::kFileIo, std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        cannot(errnum::kFileIo, "it is a folder");
    }
    if (!S_ISREG(info.st_mode)) {
        cannot(errnum::kFileIo, "it is not a regular file");
    }
    if (static_cast<std::uint64_t>(info.st_size) > kMaxFileBytes) {
        cannot(errnum::kBadFileFormat, "it is larger than 256 MiB");
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            cannot(errnum::kFileIo, std::strerror(errno));
        }
        if (got == 0) {
            break;
        }
        bytes.append(chunk.data(), static_cast<std::size_t>(got));
        // The file may grow while it is read.
        if (bytes.size() > kMaxFileBytes) {
            cannot(errnum::kBadFileFormat, "it is larger than 256 MiB");
        }
    }
    return bytes;
}

}  // namespace kartoplot::host
