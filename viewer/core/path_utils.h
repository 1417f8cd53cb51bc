// Path and address texts as the viewer compares and splits them.
#pragma once

#include "foundation/strings.h"

// True when the text holds ':' or begins with two equal slashes ("//" or two
// backslashes).
bool IsAbsolutePath(const wchar_t* text);
// The open dialog's multi-selection buffer (directory, then file names, each
// NUL-terminated, ending with an empty string) as one text: the directory
// alone when no name follows, else every directory\name joined by TAB.
WString& JoinMultiSelect(const wchar_t* buffer, WString& out);
// Two paths are equal when they differ only in case and in '/' against '\'.
// Two nulls are equal, one null is not. A "::" suffix (an item inside a
// file) ends the comparison: when both reach "::" at the same place, or one
// ends where the other goes on with "::", they are equal.
bool PathEquals(const wchar_t* a, const wchar_t* b);
bool PathEquals(const WString& a, const WString& b);
// The URL-decoded value of "?name=" or else "&name=", up to the next '&';
// empty when the name is empty or absent.
WString& UrlGetQueryParam(const WString& url, const wchar_t* name, WString& out);
