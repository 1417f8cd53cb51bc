// The desktop program's session list: when the program ends it writes the
// documents that are open, with the view of each single-page document and
// the restrictions they were opened with, as a document list file
// ("plxpers.lst") in the temporary directory; the user reopens it with the
// File menu's "All recently opened documents" (command 509, action 61).
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/core/event_hub.h"

class DocItem;
class ViewerContext;

inline constexpr wchar_t kSessionListName[] = L"plxpers.lst";

// What the program's viewer context carries besides the shared one, and the
// hub listener that runs the reopening action for it.
class SessionList : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;

    const WString path;  // the root's temporary directory + "plxpers.lst"; empty without one
    CriticalSection lock;
    Ref<ViewerContext> context;  // until the application ends
    bool exists = false;         // a list could be read when the context was made; cleared once reopened

    explicit SessionList(const WString& list_path) : path(list_path) {}
};

// The session list of the context, registered on its hub; null without a
// context.
Ref<SessionList> SessionListCreate(ViewerContext* context);
// Leaves the hub and lets go of the context (also at notification 1).
void SessionListDetach(SessionList* session);
bool SessionListExists(SessionList* session);

// Writes the list of the context's open documents to `path`, replacing the
// file; deletes the file when no document is open. A document whose path
// the ANSI code page cannot hold is left out. False without a context or
// path, or when the file cannot be written.
bool SessionListWrite(ViewerContext* context, const WString& path);
// The line of one document (without its line end), or false when the
// document has no source or its path cannot be written in the ANSI code
// page.
bool SessionListFormatLine(ViewerContext* context, DocItem* document, AString& line);

// Reads the list at the session's path and opens its documents under the
// root item; with at least one opened, action 37 (first page) is posted.
// Clears the exists flag. Unless `silent`, a list without documents, or
// one that cannot be read, is reported in a message box over the frame.
// True when the file could be read and parsed.
bool SessionListReopen(SessionList* session, bool silent);
