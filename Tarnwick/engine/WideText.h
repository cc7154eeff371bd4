// The few operations the engine needs on NUL-terminated wide strings in fixed-size buffers. The C
// library's wide functions are not used: native builds give them four-byte characters.
#pragma once

#include <stddef.h>

#include "../platform/WinTypes.h"

size_t TextLength(LPCWSTR text);
bool TextEqual(LPCWSTR left, LPCWSTR right);
bool TextStartsWith(LPCWSTR text, LPCWSTR prefix);
// Whether text, with a-z read as A-Z, starts with upper. No other character is folded.
bool StartsWithUpper(LPCWSTR text, LPCWSTR upper);
// Whether text starts with prefix, or the texts are equal, with a-z read as A-Z in both.
bool TextStartsWithIgnoringCase(LPCWSTR text, LPCWSTR prefix);
bool TextEqualIgnoringCase(LPCWSTR left, LPCWSTR right);
// The last backslash in text, or NULL where it has none.
LPCWSTR LastBackslash(LPCWSTR text);
inline LPWSTR LastBackslash(LPWSTR text)
{
    return const_cast<LPWSTR>(LastBackslash(static_cast<LPCWSTR>(text)));
}

// Appends text to the string in buffer, which holds capacity characters with the terminator.
// Returns false, leaving buffer unchanged, when the result would not fit.
bool AppendText(WCHAR* buffer, size_t capacity, LPCWSTR text);

template <size_t capacity>
bool AppendText(WCHAR (&buffer)[capacity], LPCWSTR text)
{
    return AppendText(buffer, capacity, text);
}

// Appends number in hexadecimal, as "0x404", in the same way.
template <size_t capacity>
bool AppendHex(WCHAR (&buffer)[capacity], DWORD number)
{
    WCHAR digits[2 + 8 + 1];  // filled from the end
    LPWSTR first = digits + 10;
    *first = L'\0';
    do {
        const DWORD digit = number % 16;
        *--first = static_cast<WCHAR>(digit < 10 ? L'0' + digit : L'a' + digit - 10);
        number /= 16;
    } while (number != 0);
    *--first = L'x';
    *--first = L'0';
    return AppendText(buffer, capacity, first);
}
