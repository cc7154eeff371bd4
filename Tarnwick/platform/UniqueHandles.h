// Owners of what PlatformServices hands out: a key handle, a search handle, a file handle, an ID
// list. Each owner releases its resource exactly once, when it goes out of scope or takes another,
// and cannot be copied, so every path out of a routine releases what the routine obtained.
#pragma once

#include "PlatformServices.h"

template <typename Traits>
class UniqueHandle {
public:
    typedef typename Traits::Type Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : m_value(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Type Get() const { return m_value; }
    bool IsValid() const { return m_value != Traits::Invalid(); }

    // Releases what is held, then receives a new value from a call's out argument.
    Type* Put()
    {
        Reset();
        return &m_value;
    }

    void Reset()
    {
        if (IsValid())
            Traits::Release(m_value);
        m_value = Traits::Invalid();
    }

private:
    Type m_value = Traits::Invalid();
};

struct KeyTraits {
    typedef HKEY Type;
    static HKEY Invalid() { return NULL; }
    static void Release(HKEY key) { PlatformServices::RegCloseKey(key); }
};

struct FindTraits {
    typedef HANDLE Type;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Release(HANDLE search) { PlatformServices::FindClose(search); }
};

struct FileTraits {
    typedef HANDLE Type;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Release(HANDLE file) { PlatformServices::CloseHandle(file); }
};

struct IdListTraits {
    typedef LPITEMIDLIST Type;
    static LPITEMIDLIST Invalid() { return NULL; }
    static void Release(LPITEMIDLIST idList) { PlatformServices::CoTaskMemFree(idList); }
};

typedef UniqueHandle<KeyTraits> UniqueKey;
typedef UniqueHandle<FindTraits> UniqueFind;
typedef UniqueHandle<FileTraits> UniqueFile;
typedef UniqueHandle<IdListTraits> UniqueIdList;
