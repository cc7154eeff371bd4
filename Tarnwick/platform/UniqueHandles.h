// Owners of what PlatformServices hands out: a key handle, a search handle, a file handle, an ID
// list, an object handle (NULL when there is none), a private namespace and its boundary, memory
// of LocalAlloc. Each owner releases its resource exactly once, when it goes out of scope or takes
// another, and cannot be copied, so every path out of a routine releases what it obtained.
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

    // The value's place, for a call that may replace it with another that it then owns.
    Type* AddressOf() { return &m_value; }

    // Releases what is held and takes value instead.
    void Reset(Type value = Traits::Invalid())
    {
        if (IsValid())
            Traits::Release(m_value);
        m_value = value;
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

struct ObjectTraits {
    typedef HANDLE Type;
    static HANDLE Invalid() { return NULL; }
    static void Release(HANDLE object) { PlatformServices::CloseHandle(object); }
};

struct NamespaceTraits {
    typedef HANDLE Type;
    static HANDLE Invalid() { return NULL; }
    static void Release(HANDLE privateNamespace)
    {
        PlatformServices::ClosePrivateNamespace(privateNamespace, 0);
    }
};

struct BoundaryTraits {
    typedef HANDLE Type;
    static HANDLE Invalid() { return NULL; }
    static void Release(HANDLE boundary) { PlatformServices::DeleteBoundaryDescriptor(boundary); }
};

struct LocalTraits {
    typedef HLOCAL Type;
    static HLOCAL Invalid() { return NULL; }
    static void Release(HLOCAL memory) { PlatformServices::LocalFree(memory); }
};

typedef UniqueHandle<KeyTraits> UniqueKey;
typedef UniqueHandle<FindTraits> UniqueFind;
typedef UniqueHandle<FileTraits> UniqueFile;
typedef UniqueHandle<IdListTraits> UniqueIdList;
typedef UniqueHandle<ObjectTraits> UniqueObject;
typedef UniqueHandle<NamespaceTraits> UniqueNamespace;
typedef UniqueHandle<BoundaryTraits> UniqueBoundary;
typedef UniqueHandle<LocalTraits> UniqueLocal;
