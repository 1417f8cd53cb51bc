#include "imaging/sinks/raster_sink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "foundation/pool.h"
#include "foundation/progress.h"
#include "imaging/formats/page_placement.h"
#include "imaging/sinks/sink_kinds.h"
#include "tests/imaging/raster/raster_test_files.h"
#include "tests/support/test_support.h"

namespace {

struct Orientation {
    uint16_t rotation;
    bool flip_x, flip_y;
};

std::vector<Orientation> AllOrientations() {
    std::vector<Orientation> all;
    for (uint16_t rotation : {0, 90, 180, 270}) {
        for (bool fx : {false, true}) {
            for (bool fy : {false, true}) all.push_back({rotation, fx, fy});
        }
    }
    return all;
}

std::string OrientationName(const Orientation& o) {
    return "r" + std::to_string(o.rotation) + (o.flip_x ? "x" : "") + (o.flip_y ? "y" : "");
}

bool Quarter(uint16_t rotation) { return rotation == 90 || rotation == 270; }

// The changing-element list of a bilevel row, as the CCITT decoder makes it:
// the positions where the colour changes, the line starting unset, ended by
// the width (which closes a set run that reaches the end).
std::vector<uint32_t> RunsOf(const uint8_t* row, uint32_t width) {
    std::vector<uint32_t> runs;
    uint32_t colour = 0;
    for (uint32_t i = 0; i < width; ++i) {
        const uint32_t bit = (row[i >> 3] >> (7 - (i & 7))) & 1;
        if (bit != colour) {
            runs.push_back(i);
            colour = bit;
        }
    }
    runs.push_back(width);  // closes a last set run, or ends the list
    return runs;
}

// Delivers the picture of `source` (top line first) row by row.
void FeedRows(RasterSink* sink, const RasterImage* source) {
    for (uint32_t p = 0; p < source->height; ++p) {
        const uint8_t* row = RasterImageRowAddress(source, source->height - 1 - p);
        ASSERT_TRUE(sink->PutRow(source->bits_per_pixel, row, 0, p, 0, source->width));
    }
}

void FeedRuns(RasterSink* sink, const RasterImage* source) {
    for (uint32_t p = 0; p < source->height; ++p) {
        const uint8_t* row = RasterImageRowAddress(source, source->height - 1 - p);
        std::vector<uint32_t> runs = RunsOf(row, source->width);
        ASSERT_TRUE(sink->PutRuns(runs.data(), 0, p, 0, source->width));
    }
}

Ref<RasterSink> SinkFor(const RasterImage* source, uint32_t tw, uint32_t th, const Orientation& o,
                        bool invert, bool whole = true) {
    return CreateSink(source->width, source->height, tw, th, source->bits_per_pixel, source->palette,
                      o.rotation, o.flip_x, o.flip_y, invert, whole);
}

// Bilevel pictures with long runs and some noise, as drawings have.
Ref<RasterImage> RandomDrawing(std::mt19937& random, uint32_t width, uint32_t height, uint32_t density) {
    Ref<RasterImage> image = RasterImageCreate(width, height, 1, true);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = RasterImageRowAddress(image.get(), y);
        uint32_t x = 0, colour = random() % 2;
        while (x < width) {
            uint32_t length = 1 + random() % (colour ? density : 24);
            for (uint32_t k = 0; k < length && x < width; ++k, ++x) {
                if (colour) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
            }
            colour ^= 1;
        }
    }
    return image;
}

// The rows 0 to height - 1 in a random order.
std::vector<uint32_t> ShuffledRows(std::mt19937& random, uint32_t height) {
    std::vector<uint32_t> order(height);
    for (uint32_t p = 0; p < height; ++p) order[p] = p;
    std::shuffle(order.begin(), order.end(), random);
    return order;
}

// Two sinks given the same source pixels by different paths: the same
// coverage and the same finished image.
void ExpectSameResult(RasterSink* a, RasterSink* b) {
    EXPECT_EQ(a->CoverageLevel(), b->CoverageLevel());
    Ref<RasterImage> first = a->Finish(nullptr, nullptr), second = b->Finish(nullptr, nullptr);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(memcmp(first->pixels, second->pixels, first->stride * first->height), 0);
}

std::string WriteScript(const std::string& dir, const std::string& name, const std::string& text) {
    const std::string path = dir + "/" + name;
    WriteHostFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    return path;
}

// Expected reductions from numpy: block sums of the source picture over
// each target pixel (repeats where an axis enlarges), floor of the mean (or
// of count x 255 / block size for bilevel), then mirrored and turned as the
// sink is asked to. One job a line: source out tw th rotation fx fy kind.
const char* kReduceScript = R"(import sys
import numpy as np
from PIL import Image
def axis(a, n, t, ax):
    if t >= n:
        return np.repeat(a, t // n, axis=ax), 1
    shape = list(a.shape)
    shape[ax:ax + 1] = [t, n // t]
    return a.reshape(shape).sum(axis=ax + 1), n // t
for line in open(sys.argv[1]):
    src, out, tw, th, rot, fx, fy, kind = line.split()
    tw, th, rot, fx, fy = int(tw), int(th), int(rot), int(fx), int(fy)
    a = np.asarray(Image.open(src).convert('RGB'), dtype=np.int64)
    if kind == 'count':
        a = (a[:, :, :1] > 0).astype(np.int64)
    a, kx = axis(a, a.shape[1], tw, 1)
    a, ky = axis(a, a.shape[0], th, 0)
    a = a * 255 // (kx * ky) if kind == 'count' else a // (kx * ky)
    if fx: a = a[:, ::-1]
    if not fy: a = a[::-1]
    a = np.ascontiguousarray(np.rot90(a, -(rot // 90)).astype(np.uint8))
    if a.shape[2] == 1: a = np.repeat(a, 3, axis=2)
    Image.fromarray(a, 'RGB').save(out)
)";

// The picture as the value of each pixel (for bilevel outputs, whose grey
// shows through a stretched palette).
std::string CompareValues(const RasterImage* image, const Pnm& pnm) {
    if (image->width != pnm.width || image->height != pnm.height) return "size";
    for (uint32_t y = 0; y < pnm.height; ++y) {
        for (uint32_t x = 0; x < pnm.width; ++x) {
            uint8_t value = 0;
            image->GetPixelValue(x, image->height - 1 - y, &value);
            if (value != (pnm.Rgb(x, y) & 0xFF)) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                       "): " + std::to_string(value) + " vs " + std::to_string(pnm.Rgb(x, y) & 0xFF);
            }
        }
    }
    return "";
}

class CancelledProgress : public ProgressSink {
  public:
    bool IsCancelled() override { return true; }
};

}  // namespace

TEST(SinkMaps, AxisMaps) {
    SinkMapEntry map[8];
    uint32_t counts[8] = {};
    SinkBuildAxisMap(3, 2, map, counts);
    EXPECT_EQ(map[0].first, 0u);
    EXPECT_EQ(map[1].first, 1u);
    EXPECT_EQ(map[2].first, 1u);
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[1], 2u);
    EXPECT_EQ(map[1].group, 2u);
    EXPECT_EQ(map[1].remaining, 2u);
    EXPECT_EQ(map[2].remaining, 1u);

    std::mt19937 random(2);
    for (int round = 0; round < 300; ++round) {
        const uint32_t source = 1 + random() % 300, target = 1 + random() % 300;
        std::vector<SinkMapEntry> entries(source);
        std::vector<uint32_t> per_target(target, 0);
        SinkBuildAxisMap(source, target, entries.data(), per_target.data());
        uint32_t covered = 0;
        for (uint32_t s = 0; s < source; ++s) {
            const SinkMapEntry& e = entries[s];
            ASSERT_LT(e.first, target);
            ASSERT_EQ(e.first, covered - (s > 0 && entries[s - 1].first == e.first ? e.span : 0));
            if (s == 0 || entries[s - 1].first != e.first) covered += e.span;
            ASSERT_EQ(e.group, per_target[e.first]);
            ASSERT_LE(e.group, (source + target - 1) / target);
        }
        ASSERT_EQ(covered, target) << source << " -> " << target;
        uint32_t total = 0;
        for (uint32_t t = 0; t < target; ++t) {
            ASSERT_GE(per_target[t], 1u);
            total += per_target[t];
        }
        ASSERT_EQ(total, source < target ? target : source);
    }
}

// 1:1 and integer enlargements in all orientations, at every depth, against
// ImageMagick (mirror, sample, rotate, negate), exact.
TEST(SinkDirect, OrientationsMatchImageMagick) {
    std::mt19937 random(21);
    const std::string dir = MakeScratchDir("sink_direct");
    struct Source {
        uint16_t bits;
        bool palette;
    };
    const Source sources[] = {{1, false}, {1, true}, {4, true}, {8, false}, {8, true}, {24, false}};
    struct Case {
        std::string name;
        Ref<RasterImage> result;
    };
    std::vector<Case> cases;
    std::string commands = "set -e\n";
    int n = 0;
    for (const Source& s : sources) {
        Ref<RasterImage> source = RandomImage(random, 7, 5, s.bits, !s.palette);
        const std::string bmp = dir + "/s" + std::to_string(n++) + ".bmp";
        ASSERT_TRUE(WriteBmp(source.get(), bmp));
        for (auto scale : {std::pair{1u, 1u}, std::pair{2u, 3u}}) {
            for (const Orientation& o : AllOrientations()) {
                const bool invert = (o.rotation / 90 + o.flip_x) % 2 == 1;
                const uint32_t tw = 7 * scale.first, th = 5 * scale.second;
                Ref<RasterSink> sink = SinkFor(source.get(), tw, th, o, invert);
                ASSERT_TRUE(sink);
                FeedRows(sink.get(), source.get());
                Ref<RasterImage> result = sink->Finish(nullptr, nullptr);
                ASSERT_TRUE(result);
                EXPECT_EQ(result->bits_per_pixel, s.bits);
                const std::string out = dir + "/o" + std::to_string(cases.size()) + ".ppm";
                cases.push_back({out + " " + std::to_string(s.bits) + " " + OrientationName(o), result});
                commands += "convert '" + bmp + "'" + (o.flip_y ? "" : " -flip") +
                            (o.flip_x ? " -flop" : "") + " -sample " + std::to_string(tw) + "x" +
                            std::to_string(th) + "! -rotate " + std::to_string(o.rotation) +
                            (invert ? " -negate" : "") + " -depth 8 '" + out + "'\n";
            }
        }
    }
    ASSERT_EQ(RunHostCommand(commands), 0);
    for (auto& c : cases) {
        Pnm pnm;
        ASSERT_TRUE(ReadPnm(c.name.substr(0, c.name.find(' ')), pnm)) << c.name;
        EXPECT_EQ(ComparePicture(c.result.get(), pnm), "") << c.name;
        EXPECT_TRUE(PaddingIsZero(c.result.get())) << c.name;
    }
}

// Rows delivered in pieces, at bit, nibble and pixel offsets inside the
// caller's buffer, give the same image as whole rows.
TEST(SinkDirect, PiecesAtOffsets) {
    std::mt19937 random(4);
    for (uint16_t bits : {1, 4, 8, 24}) {
        Ref<RasterImage> source = RandomImage(random, 29, 6, bits, true);
        const Orientation o{90, true, true};
        Ref<RasterSink> whole = SinkFor(source.get(), 58, 12, o, false);
        Ref<RasterSink> pieces = SinkFor(source.get(), 58, 12, o, false);
        FeedRows(whole.get(), source.get());
        for (uint32_t p = 0; p < 6; ++p) {
            const uint8_t* row = RasterImageRowAddress(source.get(), 5 - p);
            // Pixels 0-10 at their own place; pixels 11-28 given from offset 11.
            ASSERT_TRUE(pieces->PutRow(bits, row, 0, p, 0, 11));
            ASSERT_TRUE(pieces->PutRow(bits, row, 11, p, 11, 100));  // count cut to the width
        }
        Ref<RasterImage> a = whole->Finish(nullptr, nullptr), b = pieces->Finish(nullptr, nullptr);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(memcmp(a->pixels, b->pixels, a->stride * a->height), 0) << bits;
        EXPECT_FALSE(whole->Finish(nullptr, nullptr));  // finished once only
    }
}

// Upright 1:1 bilevel rows whose bits line up with the image's are merged a
// byte at a time: the image equals the one the rows' runs make, for rows in
// pieces at any offset, aligned or not, inverted or not, and a row given
// again without set bits takes nothing away.
TEST(SinkDirect, BilevelRowsMergedByBytesEqualTheirRuns) {
    std::mt19937 random(11);
    const uint32_t width = 203, height = 30;
    Ref<RasterImage> source = RandomDrawing(random, width, height, 40);
    const std::vector<uint8_t> blank((width + 7) / 8 + 2, 0);
    for (const bool invert : {false, true}) {
        for (const uint32_t shift : {0u, 3u, 8u}) {
            for (const uint32_t split : {0u, 8u, 13u, 64u, 202u}) {
                SCOPED_TRACE(std::to_string(invert) + " shift " + std::to_string(shift) + " split " +
                             std::to_string(split));
                Ref<RasterSink> rows = SinkFor(source.get(), width, height, {0, false, false}, invert);
                Ref<RasterSink> runs = SinkFor(source.get(), width, height, {0, false, false}, invert);
                for (uint32_t p = 0; p < height; ++p) {
                    const uint8_t* row = RasterImageRowAddress(source.get(), height - 1 - p);
                    // The row's bits `shift` places further into the buffer.
                    std::vector<uint8_t> moved(blank.size(), 0);
                    for (uint32_t i = 0; i < width; ++i) {
                        if (row[i >> 3] & (0x80 >> (i & 7))) {
                            moved[(i + shift) >> 3] |= uint8_t(0x80 >> ((i + shift) & 7));
                        }
                    }
                    if (split) {
                        ASSERT_TRUE(rows->PutRow(1, moved.data(), 0, p, shift, split));
                    }
                    ASSERT_TRUE(rows->PutRow(1, moved.data(), split, p, split + shift, width - split));
                    ASSERT_TRUE(rows->PutRow(1, blank.data(), 0, p, 0, width));
                    std::vector<uint32_t> list = RunsOf(row, width);
                    ASSERT_TRUE(runs->PutRuns(list.data(), 0, p, 0, width));
                }
                Ref<RasterImage> a = rows->Finish(nullptr, nullptr), b = runs->Finish(nullptr, nullptr);
                ASSERT_TRUE(a && b);
                EXPECT_EQ(memcmp(a->pixels, b->pixels, a->stride * a->height), 0);
            }
        }
    }
}

// Bilevel rows as runs give the same image as packed rows, for the direct
// sink in every orientation and for reductions, including the mixed case
// of columns enlarging while rows reduce.
TEST(SinkRuns, SameImageAsRows) {
    std::mt19937 random(9);
    Ref<RasterImage> source = RandomDrawing(random, 61, 40, 30);
    const std::pair<uint32_t, uint32_t> targets[] = {{61, 40},  {122, 120}, {20, 10}, {7, 3},
                                                     {122, 20}, {30, 80},   {1, 1},   {183, 13}};
    for (auto target : targets) {
        for (const Orientation& o : AllOrientations()) {
            SCOPED_TRACE(std::to_string(target.first) + "x" + std::to_string(target.second) + " " +
                         OrientationName(o));
            Ref<RasterSink> rows = SinkFor(source.get(), target.first, target.second, o, false);
            Ref<RasterSink> runs = SinkFor(source.get(), target.first, target.second, o, false);
            FeedRows(rows.get(), source.get());
            FeedRuns(runs.get(), source.get());
            ExpectSameResult(rows.get(), runs.get());
        }
    }
    // A list ending in a set run ends with that run's end: nothing past it
    // is read (the guard-page build puts an inaccessible page right behind).
    auto* tight = static_cast<uint32_t*>(PoolAlloc(8, 0, 0));
    ASSERT_NE(tight, nullptr);
    tight[0] = 3;
    tight[1] = 10;
    for (auto target : {std::pair{10u, 4u}, std::pair{5u, 2u}}) {
        Ref<RasterSink> sink = CreateSink(10, 4, target.first, target.second, 1, nullptr, 0, 0, 1, 0, 1);
        EXPECT_TRUE(sink->PutRuns(tight, 0, 0, 0, 10));
        EXPECT_TRUE(sink->PutRuns(tight, 2, 1, 2, 8));
    }
    PoolFree(tight);

    // Runs are refused where the rows are not bilevel.
    Ref<RasterSink> grey = CreateSink(10, 10, 5, 5, 8, nullptr, 0, 0, 1, 0, 1);
    const uint32_t list[] = {0, 3, 10};
    EXPECT_FALSE(grey->PutRuns(list, 0, 0, 0, 10));
    Ref<RasterSink> direct = CreateSink(10, 10, 10, 10, 8, nullptr, 0, 0, 1, 0, 1);
    EXPECT_FALSE(direct->PutRuns(list, 0, 0, 0, 10));
}

// A reduction keeps part of each run apart until its target row is done:
// rows arriving out of order, and in halves at offsets as tiles bring them,
// give the image of rows in order.
TEST(SinkRuns, RowsInAnyOrderGiveTheSameReduction) {
    std::mt19937 random(5);
    Ref<RasterImage> source = RandomDrawing(random, 203, 90, 40);
    const std::vector<uint32_t> order = ShuffledRows(random, source->height);
    const uint32_t half = 100;
    for (auto target : {std::pair{29u, 13u}, std::pair{101u, 44u}, std::pair{7u, 90u}}) {
        SCOPED_TRACE(std::to_string(target.first) + "x" + std::to_string(target.second));
        const Orientation upright = AllOrientations()[0];
        Ref<RasterSink> in_order = SinkFor(source.get(), target.first, target.second, upright, false);
        Ref<RasterSink> shuffled = SinkFor(source.get(), target.first, target.second, upright, false);
        FeedRuns(in_order.get(), source.get());
        for (uint32_t side = 0; side < 2; ++side) {
            for (uint32_t p : order) {
                const uint8_t* row = RasterImageRowAddress(source.get(), source->height - 1 - p);
                std::vector<uint32_t> runs = RunsOf(row, source->width);
                const uint32_t offset = side ? half : 0, count = side ? source->width - half : half;
                ASSERT_TRUE(shuffled->PutRuns(runs.data(), offset, p, offset, count));
            }
        }
        ExpectSameResult(in_order.get(), shuffled.get());
    }
}

// Packed rows of reductions by 8 or more source columns a target column are
// counted a word at a time: rows given whole or in pieces (the second at a
// word's start, or where the run path takes over), out of order, and more
// rows to a target row than a byte counter holds give the image and the
// coverage of their runs.
TEST(SinkRuns, PackedRowsCountedByWordsEqualTheirRuns) {
    std::mt19937 random(12);
    Ref<RasterImage> source = RandomDrawing(random, 701, 150, 60);
    const std::vector<uint32_t> order = ShuffledRows(random, source->height);
    const Orientation upright = AllOrientations()[0];
    for (auto target : {std::pair{87u, 30u}, std::pair{13u, 2u}, std::pair{50u, 150u}, std::pair{1u, 1u},
                        std::pair{90u, 4u}}) {
        for (uint32_t cut : {0u, 128u, 203u}) {
            SCOPED_TRACE(std::to_string(target.first) + "x" + std::to_string(target.second) + " cut " +
                         std::to_string(cut));
            Ref<RasterSink> rows = SinkFor(source.get(), target.first, target.second, upright, false);
            Ref<RasterSink> runs = SinkFor(source.get(), target.first, target.second, upright, false);
            FeedRuns(runs.get(), source.get());
            for (uint32_t p : order) {
                const uint8_t* row = RasterImageRowAddress(source.get(), source->height - 1 - p);
                if (cut == 0) {
                    ASSERT_TRUE(rows->PutRow(1, row, 0, p, 0, source->width));
                    continue;
                }
                // The second piece as a strip decoder hands a cut-out: from
                // the byte that holds its first column.
                ASSERT_TRUE(rows->PutRow(1, row, 0, p, 0, cut));
                ASSERT_TRUE(rows->PutRow(1, row + cut / 8, cut, p, cut % 8, source->width - cut));
            }
            ExpectSameResult(rows.get(), runs.get());
        }
    }
}

// Grey, colour and bilevel reductions at integer factors against numpy's
// block means, in every orientation, exact.
TEST(SinkReduce, BlockMeansMatchNumpy) {
    std::mt19937 random(17);
    const std::string dir = MakeScratchDir("sink_reduce");
    const std::string script = WriteScript(dir, "reduce.py", kReduceScript);
    struct Source {
        Ref<RasterImage> image;
        const char* kind;
    };
    std::vector<Source> sources = {
        {RandomImage(random, 24, 18, 8, true), "mean"},  {RandomImage(random, 24, 18, 4, true), "mean"},
        {RandomImage(random, 24, 18, 24, true), "mean"}, {RandomImage(random, 24, 18, 8, false), "mean"},
        {RandomImage(random, 24, 18, 4, false), "mean"}, {RandomDrawing(random, 24, 18, 9), "count"},
        {RandomImage(random, 24, 18, 1, true), "count"}};
    const std::pair<uint32_t, uint32_t> targets[] = {{12, 6}, {8, 9},  {4, 3}, {24, 9},
                                                     {48, 6}, {6, 36}, {1, 1}};
    struct Case {
        std::string out;
        Ref<RasterImage> result;
        bool values;
    };
    std::vector<Case> cases;
    std::string jobs;
    for (size_t i = 0; i < sources.size(); ++i) {
        const RasterImage* source = sources[i].image.get();
        const std::string bmp = dir + "/s" + std::to_string(i) + ".bmp";
        ASSERT_TRUE(WriteBmp(source, bmp));
        for (auto target : targets) {
            for (const Orientation& o : AllOrientations()) {
                Ref<RasterSink> sink = SinkFor(source, target.first, target.second, o, false);
                ASSERT_TRUE(sink);
                FeedRows(sink.get(), source);
                Ref<RasterImage> result = sink->Finish(nullptr, nullptr);
                ASSERT_TRUE(result);
                const std::string out = dir + "/o" + std::to_string(cases.size()) + ".ppm";
                cases.push_back({out, result, std::string(sources[i].kind) == "count"});
                jobs += bmp + " " + out + " " + std::to_string(target.first) + " " +
                        std::to_string(target.second) + " " + std::to_string(o.rotation) + " " +
                        std::to_string(o.flip_x) + " " + std::to_string(o.flip_y) + " " + sources[i].kind +
                        "\n";
            }
        }
    }
    const std::string job_file = WriteScript(dir, "jobs.txt", jobs);
    ASSERT_EQ(RunHostCommand(std::string(kHostPython) + " '" + script + "' '" + job_file + "'"), 0);
    for (auto& c : cases) {
        Pnm pnm;
        ASSERT_TRUE(ReadPnm(c.out, pnm)) << c.out;
        EXPECT_EQ(c.values ? CompareValues(c.result.get(), pnm) : ComparePicture(c.result.get(), pnm), "")
            << c.out;
    }
}

TEST(SinkReduce, OutputDepthsAndInvert) {
    std::mt19937 random(6);
    Ref<RasterImage> paletted = RandomImage(random, 8, 8, 4, false);
    Ref<RasterSink> sink = SinkFor(paletted.get(), 4, 4, {0, false, true}, true);
    FeedRows(sink.get(), paletted.get());
    Ref<RasterImage> colour = sink->Finish(nullptr, nullptr);
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour->bits_per_pixel, 24);
    // The inverted reduction is the negative of the plain one.
    Ref<RasterSink> plain_sink = SinkFor(paletted.get(), 4, 4, {0, false, true}, false);
    FeedRows(plain_sink.get(), paletted.get());
    Ref<RasterImage> plain = plain_sink->Finish(nullptr, nullptr);
    EXPECT_EQ(PictureRgb(colour.get(), 1, 2), PictureRgb(plain.get(), 1, 2) ^ 0xFFFFFF);

    // Rows of the wrong depth change nothing.
    Ref<RasterImage> grey = RandomImage(random, 8, 8, 8, true);
    Ref<RasterSink> grey_sink = SinkFor(grey.get(), 4, 4, {0, false, true}, false);
    const uint8_t row[8] = {255, 255, 255, 255, 255, 255, 255, 255};
    EXPECT_FALSE(grey_sink->PutRow(4, row, 0, 0, 0, 8));
    EXPECT_FALSE(grey_sink->PutRow(8, row, 0, 8, 0, 8));
    EXPECT_FALSE(grey_sink->PutRow(8, row, 8, 0, 0, 8));
    Ref<RasterImage> out = grey_sink->Finish(nullptr, nullptr);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->bits_per_pixel, 8);
    EXPECT_EQ(out->palette, nullptr);
    EXPECT_EQ(PictureRgb(out.get(), 0, 0), 0u);
    // A colour sink without a palette takes no paletted rows.
    Ref<RasterSink> colour_sink = CreateSink(8, 8, 4, 4, 24, nullptr, 0, 0, 1, 0, 1);
    EXPECT_FALSE(colour_sink->PutRow(8, row, 0, 0, 0, 8));
    EXPECT_TRUE(colour_sink->PutRow(24, row, 0, 0, 0, 2));

    // A cancelled reduction gives nothing; a cancelled replication keeps
    // what it has.
    CancelledProgress cancelled;
    EXPECT_FALSE(sink->Finish(&cancelled, nullptr));
    Ref<RasterSink> direct = SinkFor(grey.get(), 16, 16, {0, false, true}, false);
    FeedRows(direct.get(), grey.get());
    EXPECT_TRUE(direct->Finish(&cancelled, nullptr));
}

TEST(SinkBilevel, StretchedPalette) {
    Ref<Palette> p = MakeRef<Palette>();
    ASSERT_TRUE(PaletteInit(p.get(), 256));
    SinkStretchedPalette(p.get(), 0x000000, 0xFFFFFF, 0);
    EXPECT_EQ(PaletteGetEntry(p.get(), 0), 0u);
    EXPECT_EQ(PaletteGetEntry(p.get(), 1), 0xFFFFFFu);
    SinkStretchedPalette(p.get(), 0x000000, 0xFFFFFF, 255);
    EXPECT_EQ(PaletteGetEntry(p.get(), 254), 0u);
    EXPECT_EQ(PaletteGetEntry(p.get(), 255), 0xFFFFFFu);
    SinkStretchedPalette(p.get(), 0x000000, 0xFFFFFF, 10);  // lo 0, hi 150
    EXPECT_EQ(PaletteGetEntry(p.get(), 30), 0x333333u);
    EXPECT_EQ(PaletteGetEntry(p.get(), 149), 0xFDFDFDu);
    EXPECT_EQ(PaletteGetEntry(p.get(), 150), 0xFFFFFFu);
    SinkStretchedPalette(p.get(), 0x000000, 0xFFFFFF, 100);  // hi = min(1500, 255)
    EXPECT_EQ(PaletteGetEntry(p.get(), 77), 0x4D4D4Du);
    SinkStretchedPalette(p.get(), 0x000000, 0xFFFFFF, 245);  // lo 105, hi 255
    EXPECT_EQ(PaletteGetEntry(p.get(), 105), 0u);
    EXPECT_EQ(PaletteGetEntry(p.get(), 106), 0x020202u);
    EXPECT_EQ(PaletteGetEntry(p.get(), 180), 0x808080u);
    SinkStretchedPalette(p.get(), 0x0000FF, 0xFF0000, 127);  // per channel
    EXPECT_EQ(PaletteGetEntry(p.get(), 0), 0x0000FFu);
    EXPECT_EQ(PaletteGetEntry(p.get(), 255), 0xFF0000u);
}

// The level of a whole-page render goes into the token and governs later
// part renders; a part render without a token stores nothing.
TEST(SinkBilevel, TokenAndCoverage) {
    std::mt19937 random(12);
    Ref<RasterImage> page = RandomDrawing(random, 200, 100, 3);
    const Orientation up{0, false, true};
    Ref<RasterSink> whole = SinkFor(page.get(), 50, 25, up, false, true);
    FeedRuns(whole.get(), page.get());
    const uint32_t level = whole->CoverageLevel();
    uint64_t ones = 0;
    for (uint32_t y = 0; y < 100; ++y) {
        for (uint32_t x = 0; x < 200; ++x)
            ones += (RasterImageRowAddress(page.get(), y)[x >> 3] >> (7 - (x & 7))) & 1;
    }
    EXPECT_EQ(level, ones * 255 / 200 / 100);
    Ref<RenderToken> token = MakeRef<RenderToken>();
    ASSERT_TRUE(whole->Finish(nullptr, token.get()));
    EXPECT_EQ(token->valid, 1);
    EXPECT_EQ(token->grey_level, level);

    // A part: all set bits, but the token's level decides the palette.
    Ref<RasterImage> black = RasterImageCreate(40, 40, 1, true);
    black->Fill(1);
    Ref<RasterSink> part = SinkFor(black.get(), 10, 10, up, true, false);
    FeedRows(part.get(), black.get());
    EXPECT_EQ(part->CoverageLevel(), 255u);
    Ref<RasterImage> shown = part->Finish(nullptr, token.get());
    ASSERT_TRUE(shown && shown->palette);
    Ref<Palette> expected = MakeRef<Palette>();
    PaletteInit(expected.get(), 256);
    SinkStretchedPalette(expected.get(), 0, 0xFFFFFF, level);
    PaletteInvert(expected.get());
    EXPECT_EQ(memcmp(shown->palette->entries, expected->entries, 1024), 0);

    Ref<RenderToken> fresh = MakeRef<RenderToken>();
    Ref<RasterSink> part2 = SinkFor(black.get(), 10, 10, up, false, false);
    FeedRows(part2.get(), black.get());
    ASSERT_TRUE(part2->Finish(nullptr, fresh.get()));
    EXPECT_EQ(fresh->valid, 0);
}

// Coverage and counts of a huge drawing go past 32 bits: 10^10 set pixels.
TEST(SinkBilevel, CoverageBeyond32Bits) {
    const uint32_t side = 100000;
    Ref<RasterSink> sink = CreateSink(side, side, 100, 100, 1, nullptr, 0, 0, 1, 0, 1);
    ASSERT_TRUE(sink);
    const uint32_t runs[] = {0, side, side};
    for (uint32_t y = 0; y < side; ++y) ASSERT_TRUE(sink->PutRuns(runs, 0, y, 0, side));
    EXPECT_EQ(sink->CoverageLevel(), 255u);
    Ref<RasterImage> image = sink->Finish(nullptr, nullptr);
    ASSERT_TRUE(image);
    uint8_t value = 0;
    image->GetPixelValue(37, 59, &value);
    EXPECT_EQ(value, 255);
}

// A single marked source pixel lands exactly on the pixels that the
// placement's page-to-pixel mapping gives for its corners.
TEST(SinkPlacement, MarkedPixelLandsWherePlacementSays) {
    const uint32_t sw = 7, sh = 5;
    for (auto scale : {std::pair{1u, 1u}, std::pair{3u, 2u}}) {
        for (const Orientation& o : AllOrientations()) {
            for (uint32_t mark = 0; mark < sw * sh; mark += 6) {
                const uint32_t mx = mark % sw, my = mark / sw;
                SCOPED_TRACE(OrientationName(o) + " mark " + std::to_string(mx) + "," + std::to_string(my));
                PagePlacement placement;
                PagePlacementInit(placement);
                placement.rect = RectD{SizeD{double(sw), double(sh)}, PointD{0, 0}};  // 1 mm a pixel
                const uint32_t tw = sw * scale.first, th = sh * scale.second;
                placement.pixel_width = Quarter(o.rotation) ? th : tw;
                placement.pixel_height = Quarter(o.rotation) ? tw : th;
                placement.rotation = o.rotation;
                placement.flip_x = o.flip_x;
                placement.flip_y = o.flip_y;
                Ref<RasterSink> sink =
                    CreateSink(sw, sh, tw, th, 1, nullptr, o.rotation, o.flip_x, o.flip_y, 0, 1);
                const uint32_t runs[] = {mx, mx + 1, sw};
                for (uint32_t y = 0; y < sh; ++y) {
                    const uint32_t empty[] = {sw};
                    sink->PutRuns(y == my ? runs : empty, 0, y, 0, sw);
                }
                Ref<RasterImage> image = sink->Finish(nullptr, nullptr);
                ASSERT_TRUE(image);
                ASSERT_EQ(image->width, placement.pixel_width);
                PointI a = PagePlacementPageToPixel(placement, PointD{double(mx), double(my)});
                PointI b = PagePlacementPageToPixel(placement, PointD{mx + 1.0, my + 1.0});
                const int32_t x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
                const int32_t y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
                for (uint32_t y = 0; y < image->height; ++y) {
                    for (uint32_t x = 0; x < image->width; ++x) {
                        const bool inside =
                            int32_t(x) >= x0 && int32_t(x) < x1 && int32_t(y) >= y0 && int32_t(y) < y1;
                        ASSERT_EQ(PictureRgb(image.get(), x, y) != 0, inside) << x << "," << y;
                    }
                }
                // And back: the pixel's corner maps to the page corner.
                PointD corner = PagePlacementPixelToPage(placement, a);
                EXPECT_NEAR(corner.x, double(mx), 1e-9);
                EXPECT_NEAR(corner.y, double(my), 1e-9);
            }
        }
    }
}

TEST(SinkPlacement, ScalesAndEquality) {
    PagePlacement p;
    PagePlacementInit(p);
    EXPECT_DOUBLE_EQ(PagePlacementScale(p), 1.0);
    p.rect = RectD{SizeD{100, 50}, PointD{10, 20}};
    p.pixel_width = 300;
    p.pixel_height = 200;
    p.rotation = 90;
    EXPECT_DOUBLE_EQ(PagePlacementScaleX(p), 2.0);
    EXPECT_DOUBLE_EQ(PagePlacementScaleY(p), 6.0);
    EXPECT_DOUBLE_EQ(PagePlacementScale(p), std::sqrt(12.0));
    PagePlacement q;
    PagePlacementCopy(q, p);
    q.negative_mode = 2;
    EXPECT_TRUE(PagePlacementEquals(p, q));
    q.flags = 1;
    EXPECT_FALSE(PagePlacementEquals(p, q));
}

// Sizes near the limits fail cleanly or work, never write out of bounds.
TEST(SinkLimits, NearTheLimits) {
    EXPECT_FALSE(CreateSink(0, 10, 10, 10, 8, nullptr, 0, 0, 1, 0, 1));
    EXPECT_FALSE(CreateSink(10, 10, 10, 0, 8, nullptr, 0, 0, 1, 0, 1));
    EXPECT_FALSE(CreateSink(10, 10, 10, 10, 2, nullptr, 0, 0, 1, 0, 1));
    EXPECT_FALSE(CreateSink(10, 10, 10, 10, 8, nullptr, 45, 0, 1, 0, 1));
    EXPECT_FALSE(CreateSink(10, 10, 1000001, 1, 1, nullptr, 0, 0, 1, 0, 1));
    EXPECT_FALSE(CreateSink(70000, 70000, 70000, 70000, 24, nullptr, 0, 0, 1, 0, 1));  // > 2^32 pixels
    EXPECT_FALSE(CreateSink(1000000, 1000000, 1000000, 1000000, 1, nullptr, 0, 0, 1, 0, 1));
    Ref<RasterSink> line = CreateSink(1000000, 1, 1000000, 1, 1, nullptr, 90, 1, 0, 0, 1);
    ASSERT_TRUE(line);
    std::vector<uint8_t> row(125000, 0xFF);
    EXPECT_TRUE(line->PutRow(1, row.data(), 999999, 0, 0, 1000));  // cut to one pixel
    EXPECT_FALSE(line->PutRow(1, row.data(), 1000000, 0, 0, 1));
    EXPECT_FALSE(line->PutRow(1, row.data(), 0, 1, 0, 1));
    EXPECT_FALSE(line->PutRow(8, row.data(), 0, 0, 0, 1));
    Ref<RasterImage> image = line->Finish(nullptr, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 1u);
    EXPECT_EQ(image->height, 1000000u);

    // A side of a million reduced: the maps are large, the store small.
    Ref<RasterSink> big = CreateSink(1000000, 1000000, 100, 100, 1, nullptr, 0, 0, 1, 0, 1);
    ASSERT_TRUE(big);
    const uint32_t runs[] = {0, 1000000, 1000000};
    EXPECT_TRUE(big->PutRuns(runs, 0, 999999, 0, 1000000));
    Ref<RasterImage> reduced = big->Finish(nullptr, nullptr);
    ASSERT_TRUE(reduced);
    uint8_t value = 9;
    reduced->GetPixelValue(0, 0, &value);  // bottom row holds the last source row
    EXPECT_EQ(value, 0);                   // one row of 10000 per target pixel: 255 / 10000 rounds down
}

// Targets of 20,000,000 pixels take the direct sink even when reducing:
// a set bilevel pixel wins, bytes overwrite (the last one stays).
TEST(SinkLimits, HugeTargetsShareTargetPixels) {
    Ref<RasterSink> bits = CreateSink(10000, 4000, 5000, 4000, 1, nullptr, 0, 0, 0, 0, 1);
    ASSERT_TRUE(dynamic_cast<DirectSink*>(bits.get()));
    std::vector<uint8_t> row(10000, 0);
    row[0] = 0x40;  // pixel 1 only
    ASSERT_TRUE(bits->PutRow(1, row.data(), 0, 0, 0, 10000));
    Ref<RasterImage> bilevel = bits->Finish(nullptr, nullptr);
    ASSERT_TRUE(bilevel);
    EXPECT_EQ(RasterImageRowAddress(bilevel.get(), 0)[0], 0x80);

    Ref<RasterSink> bytes = CreateSink(10000, 4000, 5000, 4000, 8, nullptr, 0, 0, 0, 0, 1);
    row[0] = 10;
    row[1] = 20;
    ASSERT_TRUE(bytes->PutRow(8, row.data(), 0, 0, 0, 10000));
    Ref<RasterImage> grey = bytes->Finish(nullptr, nullptr);
    ASSERT_TRUE(grey);
    EXPECT_EQ(RasterImageRowAddress(grey.get(), 0)[0], 20);
}

// 20,000,000 source pixels of 250 into one: a sum beyond 32 bits.
TEST(SinkLimits, SumsBeyond32Bits) {
    std::vector<uint8_t> row(5000 * 3, 250);
    for (uint16_t bits : {8, 24}) {
        Ref<RasterSink> sink = CreateSink(5000, 4000, 1, 1, bits, nullptr, 0, 0, 1, 0, 1);
        ASSERT_TRUE(sink);
        for (uint32_t y = 0; y < 4000; ++y) ASSERT_TRUE(sink->PutRow(bits, row.data(), 0, y, 0, 5000));
        Ref<RasterImage> image = sink->Finish(nullptr, nullptr);
        ASSERT_TRUE(image);
        EXPECT_EQ(PictureRgb(image.get(), 0, 0), 0xFAFAFAu) << bits;
    }
}

// A bilevel source with a colour table: the stretched palette runs between
// its two colours.
TEST(SinkBilevel, SourcePaletteColours) {
    Ref<RasterImage> source = RasterImageCreate(8, 8, 1, false);
    PaletteSetEntry(source->palette, 0, 0x0000FF);
    PaletteSetEntry(source->palette, 1, 0xFF0000);
    Ref<RasterSink> sink = SinkFor(source.get(), 4, 4, {0, false, true}, false);
    FeedRows(sink.get(), source.get());
    Ref<RasterImage> image = sink->Finish(nullptr, nullptr);
    ASSERT_TRUE(image && image->palette);
    EXPECT_EQ(PaletteGetEntry(image->palette, 0), 0x0000FFu);
    EXPECT_EQ(PaletteGetEntry(image->palette, 1), 0xFF0000u);  // coverage 0: everything above entry 0
    EXPECT_EQ(PictureRgb(image.get(), 2, 2), 0x0000FFu);
}

// Each counter width at its limit: a page of set pixels (or of 255s) reduced
// so that a target pixel gathers 225, 65025 or 65536 bits, or 256 or 289
// bytes (beyond what 16-bit sums hold), is white everywhere; and a bilevel
// page whose groups have their first half of rows set shows the floor of
// that share (127 of 255 for 128 rows of 256, not a rounded 128).
TEST(SinkChoice, CountersHoldTheirLargestGroups) {
    struct Case {
        uint16_t bits;
        uint32_t side, target;
        bool half;
    };
    const Case cases[] = {{1, 150, 10, false},  {1, 2550, 10, false}, {1, 2560, 10, false},
                          {1, 150, 10, true},   {1, 2550, 10, true},  {1, 2560, 10, true},
                          {8, 1000, 63, false}, {8, 1000, 62, false}, {24, 1000, 63, false},
                          {24, 1000, 62, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.side) + " to " +
                     std::to_string(c.target) + (c.half ? " half" : ""));
        const uint32_t group = c.side / c.target;
        Ref<RasterSink> sink = CreateSink(c.side, c.side, c.target, c.target, c.bits, nullptr, 0, 0, 0, 0, 1);
        ASSERT_TRUE(sink);
        const size_t row_bytes = (size_t(c.side) * c.bits + 7) / 8 + 4;
        std::vector<uint8_t> set_row(row_bytes, 0xFF), clear_row(row_bytes, 0);
        for (uint32_t y = 0; y < c.side; ++y) {
            const bool set = !c.half || y % group < group / 2;
            ASSERT_TRUE(sink->PutRow(c.bits, set ? set_row.data() : clear_row.data(), 0, y, 0, c.side));
        }
        Ref<RasterImage> image = sink->Finish(nullptr, nullptr);
        ASSERT_TRUE(image);
        ASSERT_EQ(image->bits_per_pixel, c.bits == 24 ? 24 : 8);
        const uint32_t expect = c.half ? group / 2 * 255 / group : 255;
        uint32_t wrong = 0;
        for (uint32_t y = 0; y < c.target; ++y) {
            for (uint32_t x = 0; x < c.target; ++x) {
                uint8_t value = 0;
                wrong += !image->GetPixelValue(x, y, &value) || value != expect;
            }
        }
        EXPECT_EQ(wrong, 0u);
    }
}
