// The list of recently opened files, kept in the user's registry key and
// shown at the end of the File menu. Only the desktop program adds to it and
// writes it; the control reads it.
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/core/event_hub.h"

class EventHub;
class RecentFiles;
class Settings;

inline constexpr uint32_t kRecentFilesSlots = 20;
inline constexpr wchar_t kRecentFilesKeyPath[] = L"Software\\Ostrel\\Plovex5\\RecentFiles";
// The length of an entry in the File menu.
inline constexpr uint32_t kRecentFilesMenuLength = 40;

// Adds the paths of interactive opens (notification 17) and rebuilds the
// File menu's recent part when the list changed; lets go of the list on 1.
class RecentFilesListener : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;
    void ForgetList();

  private:
    friend Ref<RecentFiles> RecentFilesCreate(EventHub*, Settings*);
    CriticalSection lock_;
    RecentFiles* list_ = nullptr;  // borrowed: the list detaches its listener before it goes
};

class RecentFiles : public RefCounted {
  public:
    ~RecentFiles() override;

    CriticalSection lock;              // guards everything below
    WString slots[kRecentFilesSlots];  // most recent first
    int32_t count = 0;
    int32_t found_at_load = 0;  // values read at load; save deletes those beyond the new count
    bool changed = false;
    Ref<Settings> settings;
    Ref<RecentFilesListener> listener;
};

// Reads "FILE_0", "FILE_1", ... (up to LENGTH_RECENT_FILES_LIST, at most 20)
// from HKEY_CURRENT_USER, skipping missing and empty values. Always a list
// (empty when the key cannot be opened).
Ref<RecentFiles> RecentFilesCreate(EventHub* hub, Settings* settings);
// Puts the path at the top (compared without case); true when the list
// changed. Nothing for an empty path, without settings or with a length of
// 0; a path already at the top changes nothing.
bool RecentFilesAdd(RecentFiles* list, const WString& path);
// The entry at the index, most recent first; empty when out of range.
WString RecentFilesGet(RecentFiles* list, uint32_t index);
uint32_t RecentFilesCount(RecentFiles* list);
// Writes the changed list and deletes the values beyond it that were found
// at load; false when the key cannot be opened or a write fails (the list
// then stays marked as changed).
bool RecentFilesSave(RecentFiles* list);

// The menu text of a path: kept when it has at most `length` characters,
// else its head (scheme, drive or UNC start), "..." and the last
// length - 3 characters of the rest; when the head leaves too little rest,
// "..." and the last length - 3 characters of the whole path.
WString RecentFilesShortenName(const WString& path, uint32_t length);
