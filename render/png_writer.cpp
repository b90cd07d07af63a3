#include "render/png_writer.h"

#include <QIODevice>
#include <QImage>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace kartoplot::render {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kBytesPerPixel = 4;  // RGBA, 8 bits each
// zlib's level 3: on map pictures about a third faster than the default level 6 for files
// about 7 % larger.
constexpr int kCompressionLevel = 3;
constexpr int kRawDeflateWindow = -15;  // negative: deflate data without a zlib header
constexpr int kMemoryLevel = 8;
// A zlib stream header (RFC 1950): deflate with a 32 KiB window, level bits "fast".
constexpr std::array<std::uint8_t, 2> kZlibHeader = {0x78, 0x5E};
// Bands smaller than this many bytes of pixels are not worth a thread of their own.
constexpr std::size_t kMinBandBytes = 256 * 1024;
constexpr std::uint8_t kColourTypeRgba = 6;
constexpr std::uint8_t kPixelsPerMetre = 1;

enum Filter : std::uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

void putUint32(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void putChunk(std::string& out, const char* type, const std::uint8_t* data, std::size_t size) {
    putUint32(out, static_cast<std::uint32_t>(size));
    const std::size_t typeAt = out.size();
    out.append(type, 4);
    out.append(reinterpret_cast<const char*>(data), size);
    const auto* crcFrom = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    putUint32(out, static_cast<std::uint32_t>(crc32(0, crcFrom, static_cast<uInt>(size + 4))));
}

std::uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) {
        return static_cast<std::uint8_t>(a);
    }
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Filters one row (the previous row is all zeros for the first) with the filter of the smallest
// sum of absolute differences among Sub, Up and Paeth, as encoders commonly choose. Writes the
// filter byte and the filtered row to `out`.
void filterRow(const std::uint8_t* row, const std::uint8_t* above, std::size_t bytes,
               std::vector<std::uint8_t>& scratch, std::uint8_t* out) {
    scratch.resize(3 * bytes);
    std::uint8_t* sub = scratch.data();
    std::uint8_t* up = sub + bytes;
    std::uint8_t* pa = up + bytes;
    std::uint64_t sums[3] = {0, 0, 0};
    const auto cost = [](std::uint8_t v) { return static_cast<std::uint64_t>(v < 128 ? v : 256 - v); };
    for (std::size_t i = 0; i < bytes; ++i) {
        const int left = i >= kBytesPerPixel ? row[i - kBytesPerPixel] : 0;
        const int top = above != nullptr ? above[i] : 0;
        const int corner = above != nullptr && i >= kBytesPerPixel ? above[i - kBytesPerPixel] : 0;
        sub[i] = static_cast<std::uint8_t>(row[i] - left);
        up[i] = static_cast<std::uint8_t>(row[i] - top);
        pa[i] = static_cast<std::uint8_t>(row[i] - paeth(left, top, corner));
        sums[0] += cost(sub[i]);
        sums[1] += cost(up[i]);
        sums[2] += cost(pa[i]);
    }
    const std::size_t best = static_cast<std::size_t>(std::min_element(std::begin(sums), std::end(sums)) - sums);
    const Filter filters[] = {Sub, Up, Paeth};
    out[0] = filters[best];
    std::copy_n(scratch.data() + best * bytes, bytes, out + 1);
}

// One band of rows: filtered, deflated (ending on a byte boundary, or the stream's end for the
// last band) and its Adler-32 over the filtered bytes.
struct Band {
    int firstRow = 0;
    int rows = 0;
    std::string deflated;
    uLong adler = 1;
    uLong filteredBytes = 0;
    bool ok = false;
};

void compressBand(const QImage& rgba, Band& band, bool last) {
    const auto rowBytes = static_cast<std::size_t>(rgba.width()) * kBytesPerPixel;
    std::vector<std::uint8_t> filtered(static_cast<std::size_t>(band.rows) * (rowBytes + 1));
    std::vector<std::uint8_t> scratch;
    for (int r = 0; r < band.rows; ++r) {
        const int y = band.firstRow + r;
        filterRow(rgba.constScanLine(y), y > 0 ? rgba.constScanLine(y - 1) : nullptr, rowBytes, scratch,
                  filtered.data() + static_cast<std::size_t>(r) * (rowBytes + 1));
    }
    band.filteredBytes = static_cast<uLong>(filtered.size());
    band.adler = adler32(1, filtered.data(), static_cast<uInt>(filtered.size()));

    z_stream z{};
    if (deflateInit2(&z, kCompressionLevel, Z_DEFLATED, kRawDeflateWindow, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        return;
    }
    band.deflated.resize(deflateBound(&z, static_cast<uLong>(filtered.size())) + 16);
    z.next_in = filtered.data();
    z.avail_in = static_cast<uInt>(filtered.size());
    z.next_out = reinterpret_cast<Bytef*>(band.deflated.data());
    z.avail_out = static_cast<uInt>(band.deflated.size());
    const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    band.ok = last ? status == Z_STREAM_END : status == Z_OK && z.avail_in == 0;
    band.deflated.resize(z.total_out);
    deflateEnd(&z);
}

}  // namespace

bool writePng(const QImage& image, QIODevice& device, int threads) {
    if (image.isNull()) {
        return false;
    }
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    const auto rowBytes = static_cast<std::size_t>(rgba.width()) * kBytesPerPixel;
    const int workers = threads > 0 ? threads : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    const std::size_t byBytes = std::max<std::size_t>(1, rowBytes * static_cast<std::size_t>(rgba.height()) / kMinBandBytes);
    const int count = static_cast<int>(std::clamp<std::size_t>(byBytes, 1, static_cast<std::size_t>(std::min(workers, rgba.height()))));

    std::vector<Band> bands(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        bands[static_cast<std::size_t>(i)].firstRow = rgba.height() * i / count;
        bands[static_cast<std::size_t>(i)].rows = rgba.height() * (i + 1) / count - rgba.height() * i / count;
    }
    std::atomic<std::size_t> next = 0;
    const auto work = [&] {
        for (std::size_t b = next++; b < bands.size(); b = next++) {
            compressBand(rgba, bands[b], b + 1 == bands.size());
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < count; ++i) {
        helpers.emplace_back(work);
    }
    work();
    for (auto& helper : helpers) {
        helper.join();
    }
    if (!std::all_of(bands.begin(), bands.end(), [](const Band& b) { return b.ok; })) {
        return false;
    }

    std::string out(reinterpret_cast<const char*>(kSignature.data()), kSignature.size());
    std::string header;
    putUint32(header, static_cast<std::uint32_t>(rgba.width()));
    putUint32(header, static_cast<std::uint32_t>(rgba.height()));
    const char bitDepth = 8;
    header += std::string{bitDepth, static_cast<char>(kColourTypeRgba), 0, 0, 0};  // then the methods
    putChunk(out, "IHDR", reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        std::string phys;
        putUint32(phys, static_cast<std::uint32_t>(image.dotsPerMeterX()));
        putUint32(phys, static_cast<std::uint32_t>(image.dotsPerMeterY()));
        phys.push_back(static_cast<char>(kPixelsPerMetre));
        putChunk(out, "pHYs", reinterpret_cast<const std::uint8_t*>(phys.data()), phys.size());
    }
    uLong adler = 1;
    for (std::size_t b = 0; b < bands.size(); ++b) {
        adler = b == 0 ? bands[b].adler : adler32_combine(adler, bands[b].adler, static_cast<z_off_t>(bands[b].filteredBytes));
        std::string data;
        if (b == 0) {
            data.append(reinterpret_cast<const char*>(kZlibHeader.data()), kZlibHeader.size());
        }
        data += bands[b].deflated;
        if (b + 1 == bands.size()) {
            putUint32(data, static_cast<std::uint32_t>(adler));
        }
        putChunk(out, "IDAT", reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    }
    const std::uint8_t nothing = 0;
    putChunk(out, "IEND", &nothing, 0);
    return device.write(out.data(), static_cast<qint64>(out.size())) == static_cast<qint64>(out.size());
}

}  // namespace kartoplot::render
