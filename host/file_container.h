// The one container of every file the host persists (property-set, layer and project files):
// an 8-byte magic, a format version (major.minor), the body's length and a CBOR body. This
// module frames and unframes the body and parses it into a tree within fixed limits, so that a
// hostile file is refused before anything is built from it. What the tree means is
// host/persistence.h's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace kartoplot::host {

struct FormatVersion {
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    friend bool operator==(const FormatVersion&, const FormatVersion&) = default;
};

// The version this program writes. A reader accepts any minor version of its own major version
// (a newer minor only adds fields an older reader may skip) and refuses every other major.
inline constexpr FormatVersion kFormatVersion{1, 0};

// "\x89" "KPLT" "\r\n" "\x1a": a high byte first (not a text file), then CR LF and ^Z, which
// any text-mode copy would mangle.
inline constexpr std::string_view kFileMagic{"\x89KPLT\r\n\x1a", 8};
inline constexpr std::size_t kHeaderBytes = 20;  // magic, major, minor (u16 BE), length (u64 BE)

// Limits a reader holds every file to; the writer refuses to write what a reader would refuse.
inline constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;  // 256 MiB, header included
inline constexpr int kMaxNesting = 64;                                 // nested CBOR arrays and maps
inline constexpr std::size_t kMaxValues = std::size_t{1} << 24;        // values and keys of a body

// Header plus body. Throws HostError when the result would exceed kMaxFileBytes.
std::string wrapContainer(std::string_view body);

// Checks the header of a whole file and returns its body. `what` names the data in messages
// (a file path, or "the data"). Throws HostError (format error) when the magic is missing, the
// major version is not ours (the message names the version), or the body is cut short or
// followed by stray bytes.
std::string_view openContainer(std::string_view bytes, const std::string& what);

// Parses a CBOR body into a tree, refusing (HostError naming `what`) malformed or truncated
// CBOR, tags, repeated map keys, nesting deeper than kMaxNesting and more than kMaxValues
// values. No allocation follows a declared length: hostile lengths run into the end of input.
nlohmann::json parseBody(std::string_view body, const std::string& what);

// Checks a body against the same limits without building the tree; throws as parseBody does.
void checkBody(std::string_view body, const std::string& what);

// The CBOR bytes of a tree.
std::string serializeBody(const nlohmann::json& tree);

// Reads a whole regular file of at most kMaxFileBytes. Throws HostError naming the path when it
// cannot be opened or read, is not a regular file (a folder, a pipe, a device) or is too large.
std::string readContainerFile(const std::string& path);

}  // namespace kartoplot::host
