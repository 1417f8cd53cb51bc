// Critical sections: the thin wrappers every shared object uses, and a scoped
// lock so that every path out of a guarded block leaves the section.
#pragma once

#include <windows.h>

CRITICAL_SECTION* CsInit(CRITICAL_SECTION* section);
void CsDelete(CRITICAL_SECTION* section);
bool CsTryEnter(CRITICAL_SECTION* section);

// Owns one critical section for the lifetime of the object that embeds it.
class CriticalSection {
public:
    CriticalSection() { CsInit(&section_); }
    ~CriticalSection() { CsDelete(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }
    bool TryEnter() { return CsTryEnter(&section_); }
    CRITICAL_SECTION* native() { return &section_; }

private:
    CRITICAL_SECTION section_;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~ScopedLock() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& section_;
};
