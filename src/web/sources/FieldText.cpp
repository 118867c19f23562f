#include "web/sources/FieldText.h"

#include "text/MacRoman.h"
#include "text/StringUtils.h"
#include "web/WebHelpers.h"
#include "web/WebLimits.h"

#include <QByteArray>

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

QString CleanWebText(const QString& text) {
    QString clean = withoutUnsafeChars(text);
    if (clean.size() > WebLimits::kMaxFieldChars) {
        qsizetype keep = WebLimits::kMaxFieldChars;
        if (clean.at(keep - 1).isHighSurrogate()) --keep;
        clean.truncate(keep);
    }
    return clean;
}

QString WebFieldFromHTML(const QString& html) {
    return WebField(stringByRemovingHTMLTags(html));
}

QString WebField(const QString& cut) {
    // Controls are taken out only once the bytes are decoded: the bytes of a
    // UTF-8 sequence look like C1 controls before.
    return CleanWebText(RepairUtf8Field(cut));
}

bool FitsMacRoman(const QString& text) { return canBeMacRoman(text); }
