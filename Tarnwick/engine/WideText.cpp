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
