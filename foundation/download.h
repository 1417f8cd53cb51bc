// Download of http, https and ftp URLs through WinInet into a DataSource:
// small documents stay in memory, larger ones spill to a temporary file.
// Runs on the load worker thread and polls the progress sink for cancel.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "foundation/data_source.h"
#include "foundation/progress.h"
#include "foundation/strings.h"
#include "foundation/temp_files.h"

constexpr uint32_t kDownloadBlockSize = 0x80000;   // one 512 KB block per transfer
constexpr uint32_t kDownloadHandOnFill = 0x7C000;  // handed on once the fill passes this
constexpr uint32_t kDownloadReadSize = 16384;      // bytes asked of each read

// A new source (kind 1 in memory below the limit, else kind 3), or null when
// the URL is not http, https or ftp, the server does not answer 200, the
// body ends short, a write fails or the sink cancels. A non-empty user
// replaces the URL's user and password; a cookie holding CR or LF is refused.
// Certificates are not checked: intranet servers with their own
// certificates rely on it.
Ref<DataSource> DataSourceDownload(const WString& url, TempFileNamer* namer, const WString& extension,
                                   uint32_t memory_limit, ProgressSink* sink, const WString& user,
                                   const WString& password, const WString& cookie, bool allow_system_cookies,
                                   bool allow_system_auth);

// InternetCrackUrlW; scheme is an INTERNET_SCHEME, extra the query and
// fragment. Each part may be as long as the URL itself.
bool UrlCrack(const WString& url, uint32_t& scheme, WString& host, WString& path, WString& extra,
              WString& user, WString& password, uint16_t& port);
// "Authorization: Basic " + Base64 of "user:password" (on one line) + CR LF.
WString HttpBasicAuthHeader(const WString& user, const WString& password);
// HttpSendRequestW, tried once more after a failure; before the second try a
// certificate from an unknown authority is accepted.
bool HttpSendWithRetry(HINTERNET request, const wchar_t* headers, uint32_t header_length, void* data,
                       uint32_t data_length);
