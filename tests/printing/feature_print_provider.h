// A print provider with the features a test chooses, on A4 paper at 300 dpi
// with 5 mm unprintable all round: for what the features decide without a
// printer.
#pragma once

#include <set>

#include "tests/viewer/fake_print_provider.h"

class FeatureProvider : public FakePrintProvider {
  public:
    static constexpr double kDotsPerMm = 300 / 25.4;

    explicit FeatureProvider(std::set<uint32_t> features) : features_(std::move(features)) {}
    bool HasFeature(uint32_t code) override { return features_.count(code) != 0; }
    Ref<PrintableArea> GetPrintableArea() override {
        return PrintableAreaFromMm(SizeD{210, 297}, RectD{SizeD{200, 287}, PointD{5, 5}}, kDotsPerMm,
                                   kDotsPerMm);
    }

  private:
    std::set<uint32_t> features_;
};
