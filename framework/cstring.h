// CString: the program's counted ANSI byte string.
//
// Text in Tansy is held as bytes of the ANSI code page, which is Shift_JIS
// (code page 932) on the systems the program is made for. Searching and
// replacing go by Shift_JIS characters: a match only ever starts on the first
// byte of a character, so the trail byte 0x5C of katakana SO (0x83 0x5C) is
// never taken for a backslash. Lengths and positions are byte counts.
//
// This file is platform-free; it is compiled natively for the unit tests.
#pragma once

#include <cstddef>
#include <string>

namespace sjis
{

// True for a byte that starts a two-byte Shift_JIS (CP932) character.
inline bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// True for a byte that may stand second in a two-byte Shift_JIS (CP932)
// character.
inline bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Byte length (1 or 2) of the character that starts at s[i] in a text of n
// bytes. A lead byte at the very end stands alone.
inline size_t CharLength(const char* s, size_t i, size_t n)
{
    return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < n) ? 2 : 1;
}

// True if text[i] starts a character, given that text[boundary] (boundary
// <= i) does: an even number of lead-byte values stand right before i, back
// to `boundary` at most. The byte before a run of lead-byte values always
// ends a character (a non-lead value is either a one-byte character or a
// trail byte), and from there the run pairs up.
inline bool IsBoundary(const char* text, size_t boundary, size_t i)
{
    size_t k = i;
    while (k > boundary && IsLeadByte(static_cast<unsigned char>(text[k - 1])))
        --k;
    return (i - k) % 2 == 0;
}

// Position of the first occurrence of pat in text[from, n) that starts on a
// character boundary, or npos. `from` must itself be a character boundary.
size_t Find(const char* text, size_t n, const char* pat, size_t patLen, size_t from);
// The same without the vector code that Find uses where the CPU has it;
// kept for the tests that compare the two.
size_t FindPortable(const char* text, size_t n, const char* pat, size_t patLen, size_t from);

// Largest length <= max that does not cut a two-byte character in half.
size_t FitLength(const char* s, size_t n, size_t max);

} // namespace sjis

namespace ascii
{

// `c` with the letters A-Z made lower case; every other byte as it is.
inline char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True if the `n` bytes of `s` begin with `prefix`, ASCII letters compared
// without regard to case.
inline bool StartsWithNoCase(const char* s, size_t n, const char* prefix)
{
    for (size_t i = 0; prefix[i] != '\0'; ++i)
        if (i >= n || Lower(s[i]) != Lower(prefix[i])) return false;
    return true;
}

} // namespace ascii

class CString
{
  public:
    CString() = default;
    CString(const char* s) : m_s(s ? s : "") {}
    CString(const char* s, int n) : m_s(s, static_cast<size_t>(n)) {}
    CString(const std::string& s) : m_s(s) {}
    CString(std::string&& s) : m_s(std::move(s)) {}

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    const char* GetString() const { return m_s.c_str(); }
    operator const char*() const { return m_s.c_str(); }
    const std::string& str() const { return m_s; }
    char GetAt(int i) const { return m_s[static_cast<size_t>(i)]; }
    // Moves the bytes out and leaves this string empty: rewrites that work
    // in place take them and hand them back with CString(std::move(bytes)).
    std::string TakeString()
    {
        std::string s;
        s.swap(m_s);
        return s;
    }

    // Searches by characters from byte position `start` (a character
    // boundary); returns the byte position of the match or -1.
    int Find(const char* sub, int start = 0) const;
    int Find(char ch, int start = 0) const;
    // Position of the last character `ch` (never a trail byte), or -1.
    int ReverseFind(char ch) const;

    // Replaces every occurrence of `from` by `to` in one left-to-right pass:
    // the search resumes behind the inserted text, which is never searched
    // again. Returns the number of replacements.
    int Replace(const char* from, const char* to);

    CString Mid(int first, int count) const;
    CString Mid(int first) const;
    CString Left(int count) const { return Mid(0, count); }

    void Append(const char* p, int n) { m_s.append(p, static_cast<size_t>(n)); }
    CString& operator=(const char* s)
    {
        m_s = s ? s : "";
        return *this;
    }
    CString& operator+=(const CString& s)
    {
        m_s += s.m_s;
        return *this;
    }
    CString& operator+=(const char* s)
    {
        m_s += s;
        return *this;
    }
    CString& operator+=(char c)
    {
        m_s += c;
        return *this;
    }

    // printf-style formatting into this string.
    void Format(const char* fmt, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    friend CString operator+(const CString& a, const CString& b)
    {
        return CString(a.m_s + b.m_s);
    }
    friend CString operator+(const CString& a, const char* b)
    {
        return CString(a.m_s + b);
    }
    friend CString operator+(const char* a, const CString& b)
    {
        return CString(a + b.m_s);
    }
    friend bool operator==(const CString& a, const CString& b)
    {
        return a.m_s == b.m_s;
    }
    friend bool operator!=(const CString& a, const CString& b)
    {
        return a.m_s != b.m_s;
    }
    friend bool operator==(const CString& a, const char* b)
    {
        return a.m_s == b;
    }
    friend bool operator!=(const CString& a, const char* b)
    {
        return a.m_s != b;
    }

  private:
    std::string m_s;
};

// `text` cut to at most `maxBytes` bytes without cutting a two-byte character
// in half; when it is cut, `mark` (an ellipsis, say) ends it, within the
// `maxBytes`.
CString FitText(const CString& text, size_t maxBytes, const char* mark = "");
