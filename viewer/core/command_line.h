// The one parser of open options: the program's command line, the option
// text of the DDE command FileOpen, the options column of list files and the
// control's open methods. Text becomes file names plus an OpenParams record.
#pragma once

#include <cstdint>

#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/core/open_params.h"

class CmdLine : public RefCounted {
  public:
    CmdLine();
    ~CmdLine() override;

    Ref<OpenParams> params;  // always present
    PtrArray files;          // owning, of file-name holders, in command-line order
    bool hand_over = false;  // switch "s": give the command line to a running instance
    bool dde_logging = false;
    WString text;  // as it was given
};

// A new command line with empty open parameters, then the text parsed into
// it. Never null (null text parses as empty); the parser itself never fails:
// unparseable switch values leave their parameter unset.
Ref<CmdLine> CmdLineCreate(const wchar_t* text);
// The same as CmdLineCreate.
Ref<CmdLine> CmdLineParse(const wchar_t* text);

Ref<OpenParams> CmdLineGetOpenParams(const CmdLine* command_line);
// The open parameters of a remote open (DDE FileOpen, the control's
// FileOpen): `options` parsed as a command line when not empty, then
// `title` as the display title when not empty, so that it wins over a
// title switch among the options. Null when both are empty.
Ref<OpenParams> CmdLineOpenParamsFor(const WString& options, const WString& title);
uint32_t CmdLineGetFileCount(const CmdLine* command_line);
inline uint32_t CmdLineFileCount(const CmdLine* command_line) { return CmdLineGetFileCount(command_line); }
// Empty when the index is out of range.
WString CmdLineGetFileName(const CmdLine* command_line, uint32_t index);
bool CmdLineGetHandOver(const CmdLine* command_line);
bool CmdLineGetDdeLogging(const CmdLine* command_line);
WString CmdLineGetText(const CmdLine* command_line);

// The tokens of a command line joined by TAB. Blanks, ',', TAB, CR and LF
// outside quotes end a token; quotes ('"' and '\'') group and stay inside a
// token, except those StripQuotes removes from its ends.
WString& TokenizeCommandLine(const WString& text, WString& out);
// Drops a leading '"' or '\'' and, after it, the same character at the end.
WString& StripQuotes(const WString& text, WString& out);
