#include "imaging/codecs/jpeg_glue.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

// jpeglib.h needs FILE and size_t declared before it, and jerror.h needs
// jpeglib.h's types: the order matters.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

// The library was built from the jpeg62 interface with Windows' `boolean`
// (unsigned char). A TU that saw another definition would pass structures of
// another layout; jpeg_CreateDecompress would catch that only at run time.
static_assert(JPEG_LIB_VERSION == 62, "the glue speaks libjpeg's version 62 interface");
static_assert(sizeof(boolean) == 1, "libjpeg was built with boolean as unsigned char");

namespace {

constexpr uint32_t kJpegSourceBufferSize = 4096;

// The program's source manager: libjpeg's public fields first, so libjpeg's
// pointer to them is a pointer to the whole.
struct JpegSource {
    jpeg_source_mgr pub;
    void* context;
    JpegReadCallback read;
    JOCTET buffer[kJpegSourceBufferSize];
    boolean start_of_file;
};

struct JpegErrorExit {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// Everything one call needs, on the C heap: after libjpeg's longjmp only the
// pointer to it (set before setjmp and never changed) is used, so no local
// whose value the jump leaves indeterminate is read. Nothing in it has a
// destructor.
struct JpegSession {
    jpeg_decompress_struct cinfo;
    JpegErrorExit error;
    JpegSource source;
};

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<JpegSource*>(cinfo->src)->start_of_file = TRUE; }

// Never suspends: data that end early are completed with an end-of-image
// marker, so a truncated file decodes as far as its data go.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
    JpegSource* source = reinterpret_cast<JpegSource*>(cinfo->src);
    uint32_t n = source->read(source->context, source->buffer, kJpegSourceBufferSize);
    if (n > kJpegSourceBufferSize) n = 0;  // a callback that claims more than it was given
    if (n == 0) {
        if (source->start_of_file) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        n = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = n;
    source->start_of_file = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count < 1) return;
    jpeg_source_mgr* source = cinfo->src;
    while (count > long(source->bytes_in_buffer)) {
        count -= long(source->bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

// Replaces the standard error exit, which would end the process.
void ErrorExit(j_common_ptr cinfo) {
    JpegErrorExit* error = reinterpret_cast<JpegErrorExit*>(cinfo->err);
    longjmp(error->jump, 1);
}

JpegSession* OpenSession(void* context, JpegReadCallback read) {
    JpegSession* session = static_cast<JpegSession*>(calloc(1, sizeof(JpegSession)));
    if (!session) return nullptr;
    session->cinfo.err = jpeg_std_error(&session->error.pub);
    session->error.pub.error_exit = ErrorExit;
    session->source.context = context;
    session->source.read = read;
    return session;
}

// Runs inside the jump's protection: jpeg_CreateDecompress itself reports a
// version or structure-size mismatch through the error exit.
void CreateDecompress(JpegSession* session) {
    jpeg_create_decompress(&session->cinfo);
    JpegSource& source = session->source;
    source.pub.init_source = InitSource;
    source.pub.fill_input_buffer = FillInputBuffer;
    source.pub.skip_input_data = SkipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = TermSource;
    source.pub.bytes_in_buffer = 0;
    source.pub.next_input_byte = nullptr;
    session->cinfo.src = &source.pub;
}

// Safe whether or not the object was created: the session starts zeroed,
// and libjpeg's destroy does nothing without a memory manager.
void CloseSession(JpegSession* session) {
    jpeg_destroy_decompress(&session->cinfo);
    free(session);
}

void SetDensity(JpegInfo& info, uint32_t unit, uint32_t x_density, uint32_t y_density) {
    info.resolution_given = 0;
    if (x_density == 0 || y_density == 0) {
        info.x_density = 100;
        info.y_density = 100;
    } else if (unit == 1) {
        info.x_density = x_density;
        info.y_density = y_density;
        info.resolution_given = 1;
    } else if (unit == 2) {
        info.x_density = x_density * 2.54;
        info.y_density = y_density * 2.54;
        info.resolution_given = 1;
    } else if (x_density <= 2 && y_density <= 2) {
        // An aspect ratio only: 1:1 and the like become 100 dpi.
        info.x_density = x_density * 100.0;
        info.y_density = y_density * 100.0;
    } else {
        info.x_density = x_density;
        info.y_density = y_density;
    }
}

// Without a JFIF or Adobe marker libjpeg guesses the colour space from the
// component ids ('R', 'G', 'B' is RGB, anything else YCbCr), and writers do
// not all use the ids it expects: a container that states the colour space
// overrides the guess, as libtiff does for its strips.
void SetStoredColour(j_decompress_ptr cinfo, JpegStoredColour stored) {
    if (stored == kJpegColourAsMarked || cinfo->num_components != 3) return;
    cinfo->jpeg_color_space = stored == kJpegColourRgb ? JCS_RGB : JCS_YCbCr;
    cinfo->out_color_space = JCS_RGB;
}

}  // namespace

int32_t JpegReadInfo(void* context, JpegReadCallback read, JpegInfo* out) {
    if (!out || !read) return kJpegError;
    JpegSession* const session = OpenSession(context, read);
    if (!session) return kJpegError;
    if (setjmp(session->error.jump)) {
        CloseSession(session);
        return kJpegError;
    }
    CreateDecompress(session);
    // Not requiring an image: a tables-only stream is an answer, not an error.
    const int header = jpeg_read_header(&session->cinfo, FALSE);
    int32_t result = kJpegNoImage;
    if (header == JPEG_HEADER_OK) {
        const jpeg_decompress_struct& cinfo = session->cinfo;
        out->width = cinfo.image_width;
        out->height = cinfo.image_height;
        out->components = uint16_t(cinfo.num_components);
        out->bits_per_sample = 8;
        SetDensity(*out, cinfo.density_unit, cinfo.X_density, cinfo.Y_density);
        result = kJpegOk;
    }
    CloseSession(session);
    return result;
}

int32_t JpegDecode(void* context, uint32_t line_limit, JpegReadCallback read, JpegRowCallback row,
                   JpegStoredColour stored, uint32_t scale_denominator, bool blue_first) {
    if (!read || !row) return kJpegError;
    JpegSession* const session = OpenSession(context, read);
    if (!session) return kJpegError;
    if (setjmp(session->error.jump)) {
        CloseSession(session);
        return kJpegError;
    }
    CreateDecompress(session);
    j_decompress_ptr cinfo = &session->cinfo;
    jpeg_read_header(cinfo, TRUE);
    SetStoredColour(cinfo, stored);
    // Three components always come out as RGB, which libjpeg-turbo can
    // write in the other order at no cost.
    if (blue_first && cinfo->out_color_space == JCS_RGB) cinfo->out_color_space = JCS_EXT_BGR;
    if (scale_denominator == 2 || scale_denominator == 4 || scale_denominator == 8) {
        cinfo->scale_num = 1;
        cinfo->scale_denom = scale_denominator;
    }
    jpeg_start_decompress(cinfo);
    const JDIMENSION samples = cinfo->output_width * JDIMENSION(cinfo->output_components);
    JSAMPARRAY buffer =
        (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, samples, 1);
    // Only ever lowered: scanlines past the frame's own height do not exist.
    if (line_limit != 0 && line_limit < cinfo->output_height) cinfo->output_height = line_limit;
    int32_t result = kJpegOk;
    while (cinfo->output_scanline < cinfo->output_height) {
        const uint32_t line = cinfo->output_scanline;
        if (jpeg_read_scanlines(cinfo, buffer, 1) != 1 ||
            !row(context, line, buffer[0], cinfo->output_width, uint32_t(cinfo->output_components))) {
            result = kJpegError;
            break;
        }
    }
    // Stopping early leaves the scan unfinished; finishing then returns at
    // once instead of reading the rest of the data.
    if (result == kJpegOk) jpeg_finish_decompress(cinfo);
    CloseSession(session);
    return result;
}
