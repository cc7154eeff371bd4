// Wide strings in fixed-size buffers.
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

namespace {

WCHAR UpperAscii(WCHAR c)
{
    return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c;
}

}  // namespace

bool StartsWithUpper(LPCWSTR text, LPCWSTR upper)
{
    for (; *upper != L'\0'; ++text, ++upper) {
        if (UpperAscii(*text) != *upper)
            return false;
    }
    return true;
}

bool TextStartsWithIgnoringCase(LPCWSTR text, LPCWSTR prefix)
{
    for (; *prefix != L'\0'; ++text, ++prefix) {
        if (UpperAscii(*text) != UpperAscii(*prefix))
            return false;
    }
    return true;
}

bool TextEqualIgnoringCase(LPCWSTR left, LPCWSTR right)
{
    return TextStartsWithIgnoringCase(left, right) && left[TextLength(right)] == L'\0';
}

LPCWSTR LastBackslash(LPCWSTR text)
{
    LPCWSTR last = NULL;
    for (; *text != L'\0'; ++text) {
        if (*text == L'\\')
            last = text;
    }
    return last;
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
