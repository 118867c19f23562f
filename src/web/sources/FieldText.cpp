#include "web/sources/FieldText.h"

#include <QByteArray>

#include <array>

namespace {

// Length of the UTF-8 sequence that starts at `i`, or 0 when it is invalid.
int utf8SequenceLength(const QString& text, qsizetype i) {
    const char16_t lead = text[i].unicode();
    int length;
    char32_t value;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const char16_t c = text[i + k].unicode();
        if ((c & 0xC0) != 0x80 || c > 0xFF)
            return 0;
        value = (value << 6) | (c & 0x3F);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && value < 0x10000) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

// Mac OS Roman 0x80 to 0xFF as Unicode.
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4,
    0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF,
    0x00F1, 0x00F3, 0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020,
    0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4,
    0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202,
    0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1,
    0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3,
    0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A,
    0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC,
    0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, 0x00AF,
    0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

bool inMacRoman(char16_t c) {
    if (c < 0x80)
        return true;
    for (char16_t m : kMacRomanHigh)
        if (m == c)
            return true;
    return false;
}

} // namespace

bool IsLatin1BytesValidUtf8(const QString& text) {
    for (qsizetype i = 0; i < text.size();) {
        const int length = utf8SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

QString RepairUtf8Field(const QString& field) {
    bool multiByte = false;
    for (QChar c : field) {
        if (c.unicode() > 0xFF)
            return field;
        if (c.unicode() >= 0x80)
            multiByte = true;
    }
    if (!multiByte || !IsLatin1BytesValidUtf8(field))
        return field;
    return QString::fromUtf8(field.toLatin1());
}

bool FitsMacRoman(const QString& text) {
    for (QChar c : text)
        if (!inMacRoman(c.unicode()))
            return false;
    return true;
}
