#include "foundation/locks.h"

CRITICAL_SECTION* CsInit(CRITICAL_SECTION* section) {
    InitializeCriticalSection(section);
    return section;
}

void CsDelete(CRITICAL_SECTION* section) { DeleteCriticalSection(section); }

bool CsTryEnter(CRITICAL_SECTION* section) { return TryEnterCriticalSection(section) != FALSE; }
