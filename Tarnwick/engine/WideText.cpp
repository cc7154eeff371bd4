#include "WideText.h"

size_t TextLength(LPCWSTR text)
{
    size_t length = 0;
    while (text[length] != L'\0')
        ++length;
    return length;
}

bool TextEqual(LPCWSTR left, LPCWSTR right)
{
    for (; *left == *right; ++left, ++right) {
        if (*left == L'\0')
            return true;
    }
    return false;
}

bool TextStartsWith(LPCWSTR text, LPCWSTR prefix)
{
    for (; *prefix != L'\0'; ++text, ++prefix) {
        if (*text != *prefix)
            return false;
    }
    return true;
}

bool StartsWithUpper(LPCWSTR text, LPCWSTR upper)
{
    for (; *upper != L'\0'; ++text, ++upper) {
        const WCHAR c = *text >= L'a' && *text <= L'z' ? *text - L'a' + L'A' : *text;
        if (c != *upper)
            return false;
    }
    return true;
}

bool AppendText(WCHAR* buffer, size_t capacity, LPCWSTR text)
{
    const size_t length = TextLength(buffer);
    const size_t added = TextLength(text);
    if (length + added >= capacity)
        return false;
    for (size_t i = 0; i <= added; ++i)
        buffer[length + i] = text[i];
    return true;
}
