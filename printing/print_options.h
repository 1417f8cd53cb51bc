// What the user chose for a print: where the page lands on the paper, which
// pages, copies and extras. The root keeps the last choice for the program
// run, so the next print dialog starts from it; each job prints from a copy.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class AppRoot;

namespace print_range {
inline constexpr uint32_t kCurrentPage = 0;
inline constexpr uint32_t kAllPages = 1;
inline constexpr uint32_t kSelectedPages = 2;
}  // namespace print_range

struct PrintOptionValues {
    uint8_t auto_orientation = 1;  // turn the page to suit the paper
    uint8_t centred = 1;           // margins are then ignored
    uint8_t fit = 1;               // fit the page to the printable area
    uint8_t cut_out_only = 1;      // the current cut-out instead of the whole page
    uint32_t range = print_range::kCurrentPage;
    double margin_top = 0;  // mm, used when not centred
    double margin_left = 0;
    double margin_right = 0;
    double margin_bottom = 0;
    uint32_t ratio_numerator = 1;  // scale when not fitting
    uint32_t ratio_denominator = 1;
    uint32_t copies = 1;
    uint8_t collate = 1;
    uint8_t markups = 1;
    uint8_t user_information = 0;
    uint8_t fold = 0;  // plug-in options
    uint8_t cover = 0;
};

struct PrintOptions : RefCounted, PrintOptionValues {};

Ref<PrintOptions> PrintOptionsCreate();
Ref<PrintOptions> PrintOptionsCopy(const PrintOptions& options);
// The root's last options, or new defaults when it holds none.
Ref<PrintOptions> PrintOptionsTake(AppRoot* root);
// Keeps `options` as the root's last choice.
void PrintOptionsKeep(AppRoot* root, PrintOptions* options);
