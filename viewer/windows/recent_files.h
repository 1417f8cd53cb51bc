// Stand-in: the recent-file list is empty and saves nothing.
// The list of recently opened files, kept in the user's registry key.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class EventHub;
class Settings;

class RecentFiles : public RefCounted {};

inline Ref<RecentFiles> RecentFilesCreate(EventHub* hub, Settings* settings) {
    return MakeRef<RecentFiles>();
}
inline bool RecentFilesSave(RecentFiles* list) { return true; }
// The entry at the index, most recent first; empty when out of range.
inline WString RecentFilesGet(RecentFiles* list, uint32_t index) { return WString(); }
