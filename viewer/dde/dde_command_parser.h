// The text form of the viewer's DDE commands: a name, optionally followed by
// an argument list in parentheses ("SetActPage(12, 3)"), and the typed
// reading of each argument. Execute strings and request item names share it.
#pragma once

#include <cstdint>

#include "foundation/strings.h"
#include "foundation/variant.h"

inline constexpr uint32_t kDdeMaxArguments = 10;
// Longer texts are refused before they are parsed; nothing the viewer takes
// (a path, a command line) comes near it.
inline constexpr uint32_t kDdeMaxCommandLength = 32768;

// Splits `text` into its command name and up to `max_args` arguments (the
// array holds at least that many; every slot is cleared first). The
// argument text is tokenized like a command line: blanks and commas outside
// quotes separate, quotes are removed from a token's ends, so a final quote
// that is never closed still gives the rest of the text as one argument
// ("FileOpen(\"c:\\a b.tif)"). Each argument is an int32 (an optional '-'
// and digits that fit), an f64 (the same with one ',' as decimal point,
// "1,5"), a text (anything else, "1.5" included) or empty.
// `texts`, when given (as many slots as `args`), receives each argument's
// trimmed text as it came, for arguments that are names or paths ("007").
// A list whose closing parenthesis is missing runs to the end of the text;
// arguments past `max_args` are ignored. Answers the number of arguments
// used, or -1 when the text is empty, too long or has no name.
int32_t DdeParseCommand(const WString& text, WString& name, Variant* args,
                        uint32_t max_args = kDdeMaxArguments, WString* texts = nullptr);

// Readings of one argument for the commands. Each answers false (and leaves
// `out` alone) when the argument does not have that form.
// An int32 argument.
bool DdeArgInt(const Variant& arg, int32_t& out);
// A finite number: int32, f64, or a text of a decimal number with '.' or
// ',' as decimal point (numbers written with '.' arrive as text).
bool DdeArgNumber(const Variant& arg, double& out);
bool DdeArgIsEmpty(const Variant& arg);
