// Stand-in: the paper-format matcher keeps only its tolerance; it names no format yet.
// Names a page size in millimetres after a standard paper format.
#pragma once

class PaperFormatMatcher {
  public:
    explicit PaperFormatMatcher(double tolerance)
        : upper_factor(1 + tolerance), lower_factor(1 - tolerance) {}

    double upper_factor;
    double lower_factor;
};
