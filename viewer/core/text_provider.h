// What dialogs, windows and plug-in bindings are handed to look up the
// user-interface texts by number.
#pragma once

#include <cstdint>

class TextProvider {
  public:
    // Records nothing; answers true so that callers go on.
    virtual bool ReportError(uint32_t number, uint32_t severity, const wchar_t* detail) = 0;
    // The text of the number, or null when there is none; valid while the
    // application root lives.
    virtual const wchar_t* GetText(uint32_t id, uint32_t reserved) = 0;

  protected:
    ~TextProvider() = default;
};
