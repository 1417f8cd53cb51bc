#include "viewer/core/length_text.h"

#include <cmath>
#include <cwchar>
#include <span>

#include "resources/text_ids.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

struct LengthStep {
    double millimetres;
    uint32_t text_id;
};

constexpr LengthStep kNanometre = {0.000001, text::kUnitNanometre};
constexpr LengthStep kMicrometre = {0.001, text::kUnitMicrometre};
constexpr LengthStep kMillimetre = {1.0, text::kUnitMillimetre};
constexpr LengthStep kCentimetre = {10.0, text::kUnitCentimetre};
constexpr LengthStep kMetre = {1000.0, text::kUnitMetre};
constexpr LengthStep kKilometre = {1000000.0, text::kUnitKilometre};
constexpr LengthStep kInch = {25.4, text::kUnitInch};

constexpr LengthStep kTechnicalSteps[] = {kNanometre, kMicrometre, kMillimetre, kMetre, kKilometre};
constexpr LengthStep kMetricSteps[] = {kNanometre, kMicrometre, kMillimetre, kCentimetre, kMetre, kKilometre};
constexpr LengthStep kInchSteps[] = {kInch};
constexpr LengthStep kMillimetreSteps[] = {kMillimetre};

struct UnitSteps {
    std::span<const LengthStep> steps;
    LengthStep default_step;
};

bool StepsOfUnit(int32_t unit, UnitSteps& out) {
    switch (unit) {
        case kLengthMetricTechnical:
            out = {kTechnicalSteps, kMillimetre};
            return true;
        case kLengthInch:
            out = {kInchSteps, kInch};
            return true;
        case kLengthMetric:
            out = {kMetricSteps, kMillimetre};
            return true;
        case kLengthMillimetres:
            out = {kMillimetreSteps, kMillimetre};
            return true;
        default:
            return false;
    }
}

// The largest step not above the value; the first one below all of them.
const LengthStep& StepForValue(const UnitSteps& unit, double value) {
    if (value == 0.0) return unit.default_step;
    const LengthStep* chosen = &unit.steps.front();
    for (const LengthStep& step : unit.steps) {
        if (step.millimetres <= value) chosen = &step;
    }
    return *chosen;
}

constexpr int32_t kNoSettingsUnit = kLengthMetric;

}  // namespace

bool FormatNumberByMagnitude(double value, WStrBuilder& builder) {
    // Chosen by the magnitude, so a negative value keeps the decimals its
    // size deserves instead of falling to the four of the smallest values.
    const double magnitude = std::fabs(value);
    const wchar_t* format = L"%1.4f";
    if (magnitude >= 1000) {
        format = L"%.0f";
    } else if (magnitude >= 100) {
        format = L"%.1f";
    } else if (magnitude >= 10) {
        format = L"%.2f";
    } else if (magnitude >= 1) {
        format = L"%1.3f";
    }
    // Room for the largest double in "%.0f".
    wchar_t text[400];
    const int length = swprintf(text, 400, format, value);
    if (length < 0) return false;
    return WStrBuilderAppendN(builder, text, static_cast<uint32_t>(length));
}

bool FormatLengthInUnit(ViewerContext* context, double millimetres, int32_t unit, WStrBuilder& builder) {
    UnitSteps steps;
    if (!StepsOfUnit(unit, steps)) return FormatNumberByMagnitude(millimetres, builder);
    double magnitude = millimetres;
    if (millimetres < 0) {
        if (!WStrBuilderAppendChar(builder, L'-')) return false;
        magnitude = -millimetres;
    }
    const LengthStep& step = StepForValue(steps, magnitude);
    if (!FormatNumberByMagnitude(magnitude / step.millimetres, builder)) return false;
    if (!WStrBuilderAppendChar(builder, L' ')) return false;
    const wchar_t* name = ViewerGetText(context, step.text_id);
    return !name || WStrBuilderAppendChars(builder, name);
}

bool FormatLength(ViewerContext* context, double value, bool in_units, WStrBuilder& builder) {
    if (in_units) {
        Ref<Settings> settings = ViewerGetSettings(context);
        const int32_t unit = settings ? SettingsGetLengthUnit(settings.get()) : kNoSettingsUnit;
        return FormatLengthInUnit(context, value, unit, builder);
    }
    if (!FormatNumberByMagnitude(value, builder) || !WStrBuilderAppendChar(builder, L' ')) return false;
    const wchar_t* pixel = ViewerGetText(context, text::kPixel);
    return !pixel || WStrBuilderAppendChars(builder, pixel);
}

WString& FormatThousands(int64_t value, WString& out) {
    // The magnitude as unsigned, so that the smallest int64 has one too.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    wchar_t digits[32];
    int n = 0;
    do {
        if (n % 4 == 3) digits[n++] = L'.';
        digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) digits[n++] = L'-';
    WStrClear(out);
    while (n > 0) WStrAppendChar(out, digits[--n]);
    return out;
}
