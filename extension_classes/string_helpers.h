// Small string and path helpers: CStringEx (a string with number conversions and formatted
// scanning), CParseStrPart (a tokenizer over a CStringEx) and CPathStrPart (the parts of a
// file path held in a CStringEx).
//
// Texts are narrow UTF-8, the suite's one character set. A character of more than one byte
// (a UTF-8 sequence) is always taken whole: the tokenizer never cuts one apart and never takes
// one of its bytes for a delimiter, and counting compares whole characters by code point.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CStringEx {
  public:
    CStringEx() = default;
    CStringEx(const CStringEx&) = default;
    CStringEx& operator=(const CStringEx&) = default;
    CStringEx(const std::string& text) : m_str(text) {}  // NOLINT: converts like the text
    CStringEx(char ch, int repeat) : m_str(repeat > 0 ? std::size_t(repeat) : 0, ch) {}
    CStringEx(const char* text) : m_str(text ? text : "") {}  // NOLINT
    CStringEx(const char* text, int length);
    CStringEx(const wchar_t* text);  // NOLINT
    CStringEx(const wchar_t* text, int length);

    operator const char*() const { return m_str.c_str(); }  // NOLINT
    const std::string& str() const { return m_str; }
    std::string& str() { return m_str; }
    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    // Room for at least `length` characters; the text keeps its length.
    char* GetBuffer(int length);
    // Ends the text at its first zero (or at `length` when given).
    void ReleaseBuffer(int length = -1);

    // Formatted scanning of the text (scanf conversions); the number of fields converted.
    template <typename... Targets>
    int Scan(const char* format, Targets*... targets) const {
        static_assert(sizeof...(Targets) >= 1 && sizeof...(Targets) <= 7);
        return scanText(format, targets...);
    }

    // The decimal integer at the start of the text (0 when there is none).
    int GetInt() const;
    // The floating-point number at the start of the text (0 when there is none).
    double GetDouble() const;

    // v in base 10, 16 (lower-case), 8 or 2 written into the string's existing buffer, which
    // must be large enough (33 characters for base 2); a shorter buffer gets what fits.
    void SetInt(int value);
    void SetHex(unsigned value);
    void SetOct(unsigned value);
    void SetBin(unsigned value);

    // How many characters equal ch (a code point), counting a character of several bytes as
    // one, so that none of its bytes ever matches on its own.
    int CountOccurences(unsigned ch) const;

    // The length in bytes of the character at `pos` (1 for a byte that does not begin a
    // complete UTF-8 sequence), and its code point.
    static std::size_t CharLength(std::string_view text, std::size_t pos);
    static unsigned CodePoint(std::string_view text, std::size_t pos);

  private:
    int scanText(const char* format, ...) const;
    void writeInBuffer(unsigned value, unsigned base, bool negative);

    std::string m_str;
};

class CParseStrPart {
  public:
    static constexpr std::size_t kMaxToken = 255;

    CParseStrPart() = default;
    CParseStrPart(const CParseStrPart&) = default;
    CParseStrPart& operator=(const CParseStrPart&) = default;
    virtual ~CParseStrPart() = default;

    void Attach(CStringEx* string) { m_pString = string; }
    // The first token of the attached text: a longest run of characters not in the
    // delimiter set, after any leading delimiters. False when there is none.
    bool GetFirst(const char* delimiters, CStringEx& token);
    // The next token of the tokenization that the last GetFirst of any CParseStrPart began.
    bool GetNext(const char* delimiters, CStringEx& token);

  private:
    CStringEx* m_pString = nullptr;
    std::string m_work;
};

class CPathStrPart {
  public:
    CPathStrPart() = default;
    void Attach(const CStringEx* string) { m_pString = string; }

    CStringEx GetDrive() const;      // "C:" of "C:\dir\name.ext", empty without one
    CStringEx GetDirectory() const;  // "\dir\"
    CStringEx GetPath() const;       // "C:\dir\"
    CStringEx GetName() const;       // "name.ext"
    CStringEx GetTitle() const;      // "name"
    CStringEx GetExt() const;        // ".ext"

  private:
    std::string_view text() const;
    const CStringEx* m_pString = nullptr;
};
