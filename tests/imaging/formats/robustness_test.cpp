// Damaged files: thousands of mutations of valid seeds of every reader (TIFF
// with each compression, JPEG, GIF, BMP, CALS) are parsed and rendered at
// 1:1 and reduced. Each case must end, within a time bound, with an image of
// the requested size or with a status; none may crash or hang. The seeds
// come from outside tools (tests/data/make-robustness-seeds.py); the
// mutations flip bits, cut files short, set length and count fields to
// extremes, point offsets past the end and chain image directories into
// loops.
//
// Environment: ROBUSTNESS_COUNT mutations per reader (default 3000),
// ROBUSTNESS_SEED the random seed (default 1), ROBUSTNESS_CASE=READER:INDEX
// runs that one case and prints what it did (READER 0 TIFF, 1 JPEG, 2 GIF,
// 3 BMP, 4 CALS), ROBUSTNESS_RENDER_MS how long one render may run before
// its progress sink cancels it (default 400), ROBUSTNESS_LOG=1 prints a line
// per case. A longer run:
//   ROBUSTNESS_COUNT=50000 ROBUSTNESS_SEED=7 tools/test -R robustness
// A crash or hang prints the case and saves its input under the build's
// scratch folder; such a file belongs in tests/data/regressions/, whose files
// are all rendered by the last test here.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/progress.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_directory.h"
#include "tests/support/data_cases.h"
#include "tests/support/memory_source.h"
#include "tests/support/test_support.h"

namespace {

enum Reader : uint32_t { kTiff, kJpeg, kGif, kBmp, kCals, kReaderCount };
const char* const kReaderNames[kReaderCount] = {"TIFF", "JPEG", "GIF", "BMP", "CALS"};

constexpr uint32_t kMaxPages = 4;
constexpr DWORD kCaseBoundMs = 60000;  // far beyond any render's cancellation

uint32_t EnvNumber(const char* name, uint32_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? uint32_t(std::strtoul(text, nullptr, 10)) : fallback;
}

// ---- where the fields of each format lie

enum FieldKind : uint8_t {
    kCount,          // a number of values or entries
    kOffset,         // a file position or a byte count
    kNextDirectory,  // the link to the next TIFF directory
    kDimension,      // a width, height or other size
    kSmallValue,     // a code: compression, bits, samples, table numbers
    kLength,         // a length that says how many bytes follow
    kByte,           // flags and other single bytes
    kText,           // a CALS record's value
};

struct Field {
    uint32_t offset;
    uint32_t size;  // 1, 2 or 4 bytes; a kText field its whole extent
    bool big_endian;
    FieldKind kind;
};

struct Structure {
    std::vector<Field> fields;
    std::vector<uint32_t> directories;  // TIFF directory offsets
};

uint32_t ReadNumber(const std::vector<uint8_t>& d, uint32_t at, uint32_t size, bool big_endian) {
    uint32_t value = 0;
    for (uint32_t k = 0; k < size && at + k < d.size(); ++k) {
        const uint32_t byte = d[at + k];
        value |= big_endian ? byte << (8 * (size - 1 - k)) : byte << (8 * k);
    }
    return value;
}

void WriteNumber(std::vector<uint8_t>& d, uint32_t at, uint32_t size, bool big_endian, uint32_t value) {
    for (uint32_t k = 0; k < size && at + k < d.size(); ++k) {
        const uint32_t shift = big_endian ? 8 * (size - 1 - k) : 8 * k;
        d[at + k] = uint8_t(value >> shift);
    }
}

bool IsTiffDimensionTag(uint32_t tag) {
    return tag == 256 || tag == 257 || tag == 278 || tag == 322 || tag == 323;
}

bool IsTiffCodeTag(uint32_t tag) {
    static const uint16_t tags[] = {254, 255, 258, 259, 262, 266, 274, 277, 284, 292, 293, 296, 317, 338};
    return std::find(std::begin(tags), std::end(tags), tag) != std::end(tags);
}

void TiffEntryFields(const std::vector<uint8_t>& d, uint32_t p, bool be, Structure& s) {
    const uint32_t tag = ReadNumber(d, p, 2, be), type = ReadNumber(d, p + 2, 2, be);
    const uint32_t count = ReadNumber(d, p + 4, 4, be);
    s.fields.push_back({p + 2, 2, be, kSmallValue});
    s.fields.push_back({p + 4, 4, be, kCount});
    const uint64_t bytes = uint64_t(count) * TiffFieldSize(type);
    const uint32_t value_size = type == 3 || type == 8 ? 2 : 4;
    if (bytes > 4) {
        s.fields.push_back({p + 8, 4, be, kOffset});
        const uint32_t at = ReadNumber(d, p + 8, 4, be);
        const bool positions = tag == 273 || tag == 279 || tag == 324 || tag == 325;
        if (positions && count > 0 && at + bytes <= d.size()) {
            const uint32_t size = TiffFieldSize(type);
            s.fields.push_back({at, size, be, kOffset});
            s.fields.push_back({uint32_t(at + (count - 1) * size), size, be, kOffset});
        }
    } else if (IsTiffDimensionTag(tag)) {
        s.fields.push_back({p + 8, value_size, be, kDimension});
    } else if (IsTiffCodeTag(tag)) {
        s.fields.push_back({p + 8, value_size, be, kSmallValue});
    } else {
        s.fields.push_back({p + 8, 4, be, kOffset});
    }
}

Structure TiffStructure(const std::vector<uint8_t>& d) {
    Structure s;
    if (d.size() < 8) return s;
    const bool be = d[0] == 'M';
    s.fields.push_back({4, 4, be, kNextDirectory});
    uint32_t at = ReadNumber(d, 4, 4, be);
    while (s.directories.size() < 16 && at >= 8 && uint64_t(at) + 2 <= d.size() &&
           std::find(s.directories.begin(), s.directories.end(), at) == s.directories.end()) {
        s.directories.push_back(at);
        const uint32_t n = ReadNumber(d, at, 2, be);
        s.fields.push_back({at, 2, be, kCount});
        const uint64_t next = uint64_t(at) + 2 + uint64_t(n) * 12;
        if (next + 4 > d.size()) break;
        for (uint32_t i = 0; i < n; ++i) TiffEntryFields(d, at + 2 + 12 * i, be, s);
        s.fields.push_back({uint32_t(next), 4, be, kNextDirectory});
        at = ReadNumber(d, uint32_t(next), 4, be);
    }
    return s;
}

bool IsJpegFrame(uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

void JpegSegmentFields(const std::vector<uint8_t>& d, uint32_t p, uint32_t marker, Structure& s) {
    s.fields.push_back({p + 2, 2, true, kLength});
    if (IsJpegFrame(marker)) {
        s.fields.push_back({p + 4, 1, true, kSmallValue});
        s.fields.push_back({p + 5, 2, true, kDimension});
        s.fields.push_back({p + 7, 2, true, kDimension});
        s.fields.push_back({p + 9, 1, true, kSmallValue});
        const uint32_t components = p + 9 < d.size() ? d[p + 9] : 0;
        for (uint32_t i = 0; i < components && i < 4; ++i) {
            s.fields.push_back({p + 11 + 3 * i, 1, true, kByte});
            s.fields.push_back({p + 12 + 3 * i, 1, true, kSmallValue});
        }
    } else if (marker == 0xC4) {
        s.fields.push_back({p + 4, 1, true, kSmallValue});
        for (uint32_t k = 0; k < 16; k += 3) s.fields.push_back({p + 5 + k, 1, true, kByte});
    } else if (marker == 0xDB) {
        s.fields.push_back({p + 4, 1, true, kSmallValue});
    } else if (marker == 0xDA) {
        s.fields.push_back({p + 4, 1, true, kSmallValue});
        for (uint32_t k = 5; k < 12; ++k) s.fields.push_back({p + k, 1, true, kByte});
    } else if (marker == 0xDD) {
        s.fields.push_back({p + 4, 2, true, kDimension});
    }
}

Structure JpegStructure(const std::vector<uint8_t>& d) {
    Structure s;
    uint32_t p = 2;
    while (p + 4 <= d.size()) {
        const uint32_t marker = d[p + 1];
        if (d[p] != 0xFF || marker == 0xFF) {
            ++p;
            continue;
        }
        if (marker == 0xD9) break;
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            p += 2;
            continue;
        }
        JpegSegmentFields(d, p, marker, s);
        p += 2 + ReadNumber(d, p + 2, 2, true);
        if (marker != 0xDA) continue;
        // Entropy-coded data run to the next marker that is not a stuffed
        // zero or a restart.
        while (p + 1 < d.size() && !(d[p] == 0xFF && d[p + 1] != 0 && (d[p + 1] < 0xD0 || d[p + 1] > 0xD7)))
            ++p;
    }
    return s;
}

// Length bytes of GIF sub-blocks from p; the position after the terminator.
uint32_t GifSubBlocks(const std::vector<uint8_t>& d, uint32_t p, Structure& s) {
    uint32_t blocks = 0;
    while (p < d.size()) {
        if (blocks++ < 6) s.fields.push_back({p, 1, false, kLength});
        if (d[p] == 0) return p + 1;
        p += 1 + d[p];
    }
    return p;
}

Structure GifStructure(const std::vector<uint8_t>& d) {
    Structure s;
    if (d.size() < 13) return s;
    s.fields.push_back({6, 2, false, kDimension});
    s.fields.push_back({8, 2, false, kDimension});
    s.fields.push_back({10, 1, false, kByte});
    s.fields.push_back({12, 1, false, kByte});
    uint32_t p = 13 + ((d[10] & 0x80) ? 3u << ((d[10] & 7) + 1) : 0);
    while (p + 1 < d.size()) {
        if (d[p] == 0x21) {
            s.fields.push_back({p + 1, 1, false, kByte});
            p = GifSubBlocks(d, p + 2, s);
        } else if (d[p] == 0x2C && p + 10 < d.size()) {
            for (uint32_t k = 1; k < 9; k += 2) s.fields.push_back({p + k, 2, false, kDimension});
            s.fields.push_back({p + 9, 1, false, kByte});
            const uint32_t flags = d[p + 9];
            p += 10 + ((flags & 0x80) ? 3u << ((flags & 7) + 1) : 0);
            s.fields.push_back({p, 1, false, kSmallValue});
            GifSubBlocks(d, p + 1, s);
            break;
        } else {
            break;
        }
    }
    return s;
}

Structure BmpStructure(const std::vector<uint8_t>& d) {
    Structure s;
    s.fields = {{2, 4, false, kOffset},      {10, 4, false, kOffset},     {14, 4, false, kSmallValue},
                {18, 4, false, kDimension},  {22, 4, false, kDimension},  {26, 2, false, kSmallValue},
                {28, 2, false, kSmallValue}, {30, 4, false, kSmallValue}, {34, 4, false, kOffset},
                {38, 4, false, kDimension},  {42, 4, false, kDimension},  {46, 4, false, kCount}};
    // The first bytes of the pixel data: escape codes of run-length data.
    const uint32_t data = ReadNumber(d, 10, 4, false);
    for (uint32_t k = 0; k < 24 && data + k < d.size(); ++k) s.fields.push_back({data + k, 1, false, kByte});
    return s;
}

Structure CalsStructure(const std::vector<uint8_t>& d) {
    Structure s;
    for (uint32_t record = 0; record < 11 && (record + 1) * 128 <= d.size(); ++record) {
        const uint32_t start = record * 128;
        for (uint32_t k = 0; k + 1 < 128; ++k) {
            if (d[start + k] != ':') continue;
            s.fields.push_back({start + k + 2, 128 - k - 2, false, kText});
            break;
        }
    }
    return s;
}

Structure StructureOf(Reader reader, const std::vector<uint8_t>& d) {
    switch (reader) {
        case kTiff:
            return TiffStructure(d);
        case kJpeg:
            return JpegStructure(d);
        case kGif:
            return GifStructure(d);
        case kBmp:
            return BmpStructure(d);
        default:
            return CalsStructure(d);
    }
}

// ---- the mutation engine

class Mutator {
  public:
    Mutator(uint32_t seed, uint32_t reader, uint32_t index) {
        std::seed_seq sequence{seed, reader, index};
        random_.seed(sequence);
    }

    // Applies one to three mutations and describes them.
    std::string Mutate(Reader reader, const Structure& structure, std::vector<uint8_t>& d) {
        const uint32_t roll = Below(10);
        const uint32_t steps = roll < 6 ? 1 : roll < 9 ? 2 : 3;
        std::string text;
        for (uint32_t i = 0; i < steps; ++i) text += (i ? "; " : "") + Step(reader, structure, d);
        return text;
    }

  private:
    uint32_t Below(uint32_t n) { return n ? uint32_t(random_() % n) : 0; }
    uint32_t Pick(std::initializer_list<uint32_t> values) {
        return values.begin()[Below(uint32_t(values.size()))];
    }

    // Positions near the start hold the headers: half the hits land there.
    uint32_t Position(const std::vector<uint8_t>& d) {
        const uint32_t size = uint32_t(d.size());
        return Below(2) ? Below(std::min<uint32_t>(size, 256)) : Below(size);
    }

    std::string Step(Reader reader, const Structure& structure, std::vector<uint8_t>& d) {
        const uint32_t roll = Below(100);
        if (roll < 8 && reader == kTiff && !structure.directories.empty()) return DirectoryLoop(structure, d);
        if (roll < 45 && !structure.fields.empty()) return FieldValue(structure, d);
        if (roll < 65) return BitFlips(d);
        if (roll < 77) return Truncate(d);
        if (roll < 87) return Noise(d);
        if (roll < 94) return Splice(d);
        return Fill(d);
    }

    std::string BitFlips(std::vector<uint8_t>& d) {
        const uint32_t n = 1 + Below(8);
        for (uint32_t i = 0; i < n; ++i) d[Position(d)] ^= uint8_t(1u << Below(8));
        return "flip " + std::to_string(n) + " bits";
    }

    std::string Truncate(std::vector<uint8_t>& d) {
        const uint32_t size = uint32_t(d.size());
        const uint32_t keep = 1 + (Below(2) ? Below(std::min<uint32_t>(size, 300)) : Below(size));
        d.resize(std::min(keep, size));
        return "cut to " + std::to_string(d.size());
    }

    std::string Noise(std::vector<uint8_t>& d) {
        const uint32_t at = Position(d), n = 1 + Below(16);
        for (uint32_t k = 0; k < n && at + k < d.size(); ++k) d[at + k] = uint8_t(random_());
        return "noise " + std::to_string(n) + " at " + std::to_string(at);
    }

    std::string Fill(std::vector<uint8_t>& d) {
        const uint32_t at = Position(d), n = 1 + Below(64);
        const uint8_t value = Below(2) ? 0xFF : 0x00;
        for (uint32_t k = 0; k < n && at + k < d.size(); ++k) d[at + k] = value;
        return "fill " + std::to_string(n) + " with " + std::to_string(value) + " at " + std::to_string(at);
    }

    std::string Splice(std::vector<uint8_t>& d) {
        const uint32_t at = Position(d), n = 1 + Below(32);
        if (Below(2) && d.size() > n + 1) {
            d.erase(d.begin() + at, d.begin() + std::min<size_t>(d.size() - 1, size_t(at) + n));
            return "delete " + std::to_string(n) + " at " + std::to_string(at);
        }
        std::vector<uint8_t> chunk(n);
        for (auto& b : chunk) b = uint8_t(random_());
        d.insert(d.begin() + at, chunk.begin(), chunk.end());
        return "insert " + std::to_string(n) + " at " + std::to_string(at);
    }

    std::string DirectoryLoop(const Structure& s, std::vector<uint8_t>& d) {
        std::vector<const Field*> links;
        for (const Field& f : s.fields)
            if (f.kind == kNextDirectory) links.push_back(&f);
        const Field& link = *links[Below(uint32_t(links.size()))];
        const uint32_t target = s.directories[Below(uint32_t(s.directories.size()))];
        WriteNumber(d, link.offset, 4, link.big_endian, target);
        return "directory link at " + std::to_string(link.offset) + " to " + std::to_string(target);
    }

    uint32_t ValueFor(const Field& f, const std::vector<uint8_t>& d) {
        const uint32_t size = uint32_t(d.size()), old = ReadNumber(d, f.offset, f.size, f.big_endian);
        const uint32_t any = uint32_t(random_());
        switch (f.kind) {
            case kCount:
                return Pick({0, 1, 2, 3, 0xFF, 0xFFFF, 0x10000, 0x3FFFFFFF, 0x40000000, 0x7FFFFFFF,
                             0xFFFFFFFF, any, any % 64});
            case kOffset:
            case kNextDirectory:
                return Pick({0, 1, 7, 8, size - 1, size, size + 1, size + 4096, 0x7FFFFFFF, 0xFFFFFFF0,
                             0xFFFFFFFF, any % (size + 1), any});
            case kDimension:
                return Pick({0, 1, 2, 0xFF, 0xFFFF, 0x10000, 65500, 65501, 999999, 1000000, 1000001,
                             0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, old + 1, old - 1, old * 2, any});
            case kSmallValue:
                return Pick({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 15, 16, 24, 32, 255, 0xFFFF, 32773, any});
            case kLength:
                return Pick({0, 1, 2, old - 1, old + 1, 0xFF, 0xFFFF, any});
            default:
                return Pick({0, 0xFF, any});
        }
    }

    std::string FieldValue(const Structure& s, std::vector<uint8_t>& d) {
        const Field& f = s.fields[Below(uint32_t(s.fields.size()))];
        if (f.kind == kText) return Text(f, d);
        const uint32_t value = ValueFor(f, d);
        WriteNumber(d, f.offset, f.size, f.big_endian, value);
        return "field at " + std::to_string(f.offset) + " = " + std::to_string(value);
    }

    std::string Text(const Field& f, std::vector<uint8_t>& d) {
        static const char* const patterns[] = {"0,0",
                                               "1,1",
                                               "0,70",
                                               "96,0",
                                               "-1,5",
                                               "4294967297,1",
                                               "65536,65536",
                                               "1000000,1000000",
                                               "1000001,1",
                                               "96",
                                               ",",
                                               "",
                                               "abc,def",
                                               "96,70,5",
                                               " 96 , 70 ",
                                               "NONE",
                                               "2",
                                               "1",
                                               "0",
                                               "-300",
                                               "99999999999999999999",
                                               "1e9",
                                               "2147483647,2147483647"};
        const std::string text = patterns[Below(uint32_t(std::size(patterns)))];
        const uint8_t pad = Below(4) ? ' ' : 0;
        for (uint32_t k = 0; k < f.size && f.offset + k < d.size(); ++k)
            d[f.offset + k] = k < text.size() ? uint8_t(text[k]) : pad;
        return "text at " + std::to_string(f.offset) + " = \"" + text + "\"";
    }

    std::mt19937 random_;
};

// ---- parsing and rendering one input

// Cancels a render that runs longer than its budget, as a user would.
class DeadlineProgress : public ProgressSink {
  public:
    explicit DeadlineProgress(DWORD budget_ms) : start_(GetTickCount()), budget_(budget_ms) {}
    bool IsCancelled() override {
        if (GetTickCount() - start_ <= budget_) return false;
        cancelled = true;
        return true;
    }
    bool cancelled = false;

  private:
    DWORD start_, budget_;
};

struct Tally {
    uint32_t cases = 0, parsed = 0, renders = 0, images = 0, cancelled = 0;
    std::vector<std::string> failures;
};

bool StatusIsValid(const ImageStatus& status) {
    if (status.severity == 0) return status.code == 0;
    if (status.severity == kSeverityWarning) return status.code == kStatusDamagedButUsable;
    return status.severity == kSeverityError && status.code >= kStatusNothingToRender &&
           status.code <= kStatusBadData;
}

double Finite(double value, double fallback) { return std::isfinite(value) && value > 0 ? value : fallback; }

// The four requests of every page: a 1:1 cut-out of the top left corner, the
// whole page reduced, a 1:1 cut-out of the bottom right corner turned and
// mirrored with negative detection, and the whole page turned, stretched,
// inverted and from its full-size image.
std::vector<PagePlacement> Requests(ImagePage* page) {
    const uint32_t w = std::max<uint32_t>(1, page->PixelWidth()),
                   h = std::max<uint32_t>(1, page->PixelHeight());
    const double wmm = Finite(page->WidthMm(), 1.0), hmm = Finite(page->HeightMm(), 1.0);
    std::vector<PagePlacement> requests(4);
    for (auto& r : requests) {
        PagePlacementInit(r);
        r.flip_y = 1;
    }
    const uint32_t cw = std::min<uint32_t>(w, 192), ch = std::min<uint32_t>(h, 192);
    requests[0].rect.size = {wmm * cw / w, hmm * ch / h};
    requests[0].pixel_width = cw;
    requests[0].pixel_height = ch;
    const double scale = std::min(96.0 / w, 96.0 / h);
    requests[1].rect.size = {wmm, hmm};
    requests[1].pixel_width = std::max<uint32_t>(1, uint32_t(w * scale));
    requests[1].pixel_height = std::max<uint32_t>(1, uint32_t(h * scale));
    const uint32_t bw = std::min<uint32_t>(w, 64), bh = std::min<uint32_t>(h, 64);
    requests[2].rect.origin = {wmm * (w - bw) / w, hmm * (h - bh) / h};
    requests[2].rect.size = {wmm * bw / w, hmm * bh / h};
    requests[2].pixel_width = bh;
    requests[2].pixel_height = bw;
    requests[2].rotation = 90;
    requests[2].flip_x = 1;
    requests[2].negative_mode = 1;
    requests[3].rect.size = {wmm, hmm};
    requests[3].pixel_width = 33;
    requests[3].pixel_height = 47;
    requests[3].rotation = 270;
    requests[3].invert = 1;
    requests[3].negative_mode = 2;
    requests[3].flags = kPlacementFullSizeImage;
    return requests;
}

void RenderPage(ImagePage* page, DataSource* source, DWORD budget, Tally& tally, std::string& problem) {
    PageInfo info;
    page->GetInfo(&info);
    page->IsBilevel();
    page->DpiX();
    page->DpiY();
    for (const PagePlacement& request : Requests(page)) {
        ImageStatus status;
        DeadlineProgress progress(budget);
        Ref<RasterImage> image = PageRender(page, &status, source, &request, &progress);
        ++tally.renders;
        if (progress.cancelled) ++tally.cancelled;
        if (!StatusIsValid(status))
            problem +=
                " render status " + std::to_string(status.severity) + "/" + std::to_string(status.code) + ";";
        if (!image) continue;
        ++tally.images;
        if (image->width != request.pixel_width || image->height != request.pixel_height)
            problem += " image " + std::to_string(image->width) + "x" + std::to_string(image->height) +
                       " for " + std::to_string(request.pixel_width) + "x" +
                       std::to_string(request.pixel_height) + ";";
        image->MeanBrightness();  // reads every row
    }
}

// Empty when the input ended as it should; else what went wrong.
std::string ParseAndRender(const std::vector<uint8_t>& bytes, uint32_t options, DWORD budget, Tally& tally) {
    Ref<DataSource> source = MemorySource(bytes);
    if (!source) return "no memory source";
    ImageStatus status;
    Ref<ImageFormat> format = ImageParseFile(&status, source.get(), options);
    std::string problem;
    if (!StatusIsValid(status))
        problem +=
            " parse status " + std::to_string(status.severity) + "/" + std::to_string(status.code) + ";";
    if (!format) {
        if (status.severity != kSeverityError) problem += " no format and no error;";
        return problem;
    }
    ++tally.parsed;
    FormatInfo info;
    Zero5Ints(info);
    format->GetInfo(&info);
    format->FormatCode();
    format->FormatOrdinal();
    const uint32_t pages = format->PageCount();
    for (uint32_t i = 0; i < pages && i < kMaxPages; ++i) {
        Ref<ImagePage> page = format->GetPage(i);
        if (page) RenderPage(page.get(), source.get(), budget, tally, problem);
    }
    if (format->GetPage(pages)) problem += " a page past the page count;";
    return problem;
}

// ---- the run: a worker decodes, the test thread watches the clock

struct CurrentCase {
    std::atomic<DWORD> started{0};
    std::atomic<bool> running{false};
    std::string description;     // written by the worker before `running`
    std::vector<uint8_t> input;  // likewise
    std::string scratch;         // where a failing input goes
};

CurrentCase g_case;

std::string SaveInput(const char* why) {
    const std::string path = g_case.scratch + "/" + why + ".bin";
    WriteHostFile(path, g_case.input);
    return path;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const std::string path = SaveInput("crash");
    std::fprintf(stderr, "robustness: CRASH (exception 0x%08lX) in case %s; input saved as %s\n",
                 info->ExceptionRecord->ExceptionCode, g_case.description.c_str(), path.c_str());
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct Seed {
    std::string name;
    Reader reader;
    std::vector<uint8_t> data;
    Structure structure;
};

struct RobustnessRun {
    std::vector<Seed> seeds;
    uint32_t count = 0, seed = 0, only_reader = kReaderCount, only_index = 0;
    DWORD budget = 0;
    bool log = false;  // one line per case
    Tally tallies[kReaderCount];
};

void RunCase(RobustnessRun& run, Reader reader, const std::vector<const Seed*>& seeds, uint32_t index) {
    const Seed& seed = *seeds[index % seeds.size()];
    Mutator mutator(run.seed, reader, index);
    std::vector<uint8_t> input = seed.data;
    const std::string what = mutator.Mutate(reader, seed.structure, input);
    g_case.description = std::string(kReaderNames[reader]) + ":" + std::to_string(index) + " (" + seed.name +
                         ": " + what + ")";
    g_case.input = input;
    g_case.started = GetTickCount();
    g_case.running = true;
    Tally& tally = run.tallies[reader];
    ++tally.cases;
    const uint32_t parsed = tally.parsed, images = tally.images;
    const std::string problem = ParseAndRender(input, index & 1, run.budget, tally);
    g_case.running = false;
    if (!problem.empty()) tally.failures.push_back(g_case.description + ":" + problem);
    if (run.only_reader != kReaderCount || run.log)
        std::printf("%s: parsed %u, images %u;%s\n", g_case.description.c_str(), tally.parsed - parsed,
                    tally.images - images, problem.c_str());
}

DWORD WINAPI RunAll(void* parameter) {
    RobustnessRun& run = *static_cast<RobustnessRun*>(parameter);
    for (uint32_t r = 0; r < kReaderCount; ++r) {
        if (run.only_reader != kReaderCount && r != run.only_reader) continue;
        std::vector<const Seed*> seeds;
        for (const Seed& s : run.seeds)
            if (s.reader == r) seeds.push_back(&s);
        if (seeds.empty()) continue;
        if (run.only_reader != kReaderCount) {
            RunCase(run, Reader(r), seeds, run.only_index);
            continue;
        }
        for (uint32_t i = 0; i < run.count; ++i) RunCase(run, Reader(r), seeds, i);
    }
    return 0;
}

// Waits for the worker, a second at a time; false (with the case named and
// its input saved) when one case outlasts the bound.
bool WatchWorker(HANDLE worker, std::string* hung) {
    for (;;) {
        if (WaitForSingleObject(worker, 1000) == WAIT_OBJECT_0) return true;
        if (g_case.running && GetTickCount() - g_case.started > kCaseBoundMs) {
            *hung = g_case.description + "; input saved as " + SaveInput("hang");
            return false;
        }
    }
}

std::vector<Seed> LoadSeeds() {
    std::string dir;
    std::vector<Seed> seeds;
    if (!MakeDataCases("make-robustness-seeds.py", "", "robustness", &dir)) return seeds;
    for (const std::string& name : DataCaseNames(dir)) {
        DataCase c = LoadDataCase(dir, name);
        const Reader reader = Reader(std::min<int64_t>(c.Get("reader"), kReaderCount - 1));
        seeds.push_back({name, reader, c.data, StructureOf(reader, c.data)});
    }
    return seeds;
}

const std::vector<Seed>& Seeds() {
    static const std::vector<Seed> seeds = LoadSeeds();
    return seeds;
}

}  // namespace

TEST(ImagingRobustness, SeedsParseAndRenderWhole) {
    ASSERT_GE(Seeds().size(), 20u) << "the seed script failed";
    for (const Seed& seed : Seeds()) {
        Tally tally;
        EXPECT_EQ(ParseAndRender(seed.data, 0, 60000, tally), "") << seed.name;
        EXPECT_EQ(tally.parsed, 1u) << seed.name;
        EXPECT_EQ(tally.images, tally.renders) << seed.name << ": every request of a valid file renders";
        EXPECT_GE(tally.renders, 4u) << seed.name;
        EXPECT_FALSE(seed.structure.fields.empty()) << seed.name << ": the mutator finds its fields";
    }
}

TEST(ImagingRobustness, MutatedFilesEndWithAnImageOrAStatus) {
    ASSERT_FALSE(Seeds().empty());
    RobustnessRun run;
    run.seeds = Seeds();
    run.count = EnvNumber("ROBUSTNESS_COUNT", 3000);
    run.seed = EnvNumber("ROBUSTNESS_SEED", 1);
    run.budget = EnvNumber("ROBUSTNESS_RENDER_MS", 400);
    run.log = EnvNumber("ROBUSTNESS_LOG", 0) != 0;
    if (const char* only = std::getenv("ROBUSTNESS_CASE")) {
        run.only_reader = std::min<uint32_t>(uint32_t(std::strtoul(only, nullptr, 10)), kReaderCount);
        const char* colon = std::strchr(only, ':');
        run.only_index = colon ? uint32_t(std::strtoul(colon + 1, nullptr, 10)) : 0;
    }
    g_case.scratch = MakeScratchDir("robustness-" + std::to_string(GetCurrentProcessId()));
    SetUnhandledExceptionFilter(ReportCrash);
    HANDLE worker = CreateThread(nullptr, 0, RunAll, &run, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    std::string hung;
    if (!WatchWorker(worker, &hung)) {
        std::fprintf(stderr, "robustness: HANG in case %s\n", hung.c_str());
        std::fflush(stderr);
        // The worker cannot be stopped safely: end the process with the report.
        ExitProcess(3);
    }
    CloseHandle(worker);
    for (uint32_t r = 0; r < kReaderCount; ++r) {
        const Tally& t = run.tallies[r];
        std::printf("%-4s %5u cases, %5u parsed, %6u renders, %6u images, %4u cancelled by the time budget\n",
                    kReaderNames[r], t.cases, t.parsed, t.renders, t.images, t.cancelled);
        EXPECT_TRUE(t.failures.empty()) << t.failures.size() << " cases of " << kReaderNames[r]
                                        << " went wrong, the first: " << t.failures.front();
        if (run.only_reader == kReaderCount) {
            EXPECT_EQ(t.cases, run.count);
        }
    }
}

// Damaged files kept byte for byte: inputs that once crashed or hung a reader
// and files made to reach a reader's paths for damaged data.
TEST(ImagingRobustness, RegressionFilesEndWithAnImageOrAStatus) {
    const std::string dir = TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/regressions";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((WindowsPathOf(dir) + L"\\*").c_str(), &found);
    std::vector<std::wstring> names;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    std::erase(names, L"README.md");
    // A folder that cannot be read, or holds nothing, would pass checking nothing.
    ASSERT_FALSE(names.empty()) << "no regression file in " << dir;
    for (const std::wstring& name : names) {
        const std::string narrow(name.begin(), name.end());
        Tally tally;
        EXPECT_EQ(ParseAndRender(ReadHostFile(dir + "/" + narrow), 0, 5000, tally), "") << narrow;
        EXPECT_EQ(ParseAndRender(ReadHostFile(dir + "/" + narrow), 1, 5000, tally), "") << narrow;
    }
}
