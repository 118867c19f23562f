#include "web/NSRegex.h"

#include "system/Log.h"

#include <vector>

namespace {

// Our flag values are not the platform's REG_* values (REG_NOSUB differs).
int posixCompileFlags(int flags) {
    int cflags = 0;
    if (flags & NSRegex::kNSRegex_Extended) cflags |= REG_EXTENDED;
    if (flags & NSRegex::kNSRegex_SuccessOnly) cflags |= REG_NOSUB;
    return cflags;
}

} // namespace

std::unique_ptr<NSRegex> NSRegex::regex(const QString& pattern, int flags) {
    return std::make_unique<NSRegex>(pattern, flags);
}

NSRegex::NSRegex(const QString& pattern, int flags) : fCompileFlags(flags), fPattern(pattern) {
    if (!(flags & kNSRegex_Extended))
        TROVIX_LOG() << "You may want to set kNSRegex_Extended in [ NSRegex init ].";
    const int code = regcomp(&fCookie, pattern.toUtf8().constData(), posixCompileFlags(flags));
    fValid = code == 0;
    if (!fValid) logError(code);
}

NSRegex::~NSRegex() {
    // A failed compile leaves nothing to free.
    if (fValid) regfree(&fCookie);
}

bool NSRegex::match(const QString& text, int execFlags) {
    if (!(fCompileFlags & kNSRegex_SuccessOnly))
        TROVIX_LOG() << "Calling [ NSRegex match ] when initialized witout kNSRegex_SuccessOnly.";
    if (!fValid) return false;
    const int code = regexec(&fCookie, text.toUtf8().constData(), 0, nullptr, execFlags);
    if (code == 0) return true;
    if (code != REG_NOMATCH) logError(code);
    return false;
}

std::optional<QStringList> NSRegex::matches(const QString& text, int n) {
    if (!fValid) return std::nullopt;
    if (n < 0) n = 0;
    // Offsets are byte offsets into the UTF-8 form, so groups are cut from
    // those same bytes and decoded afterwards.
    const QByteArray bytes = text.toUtf8();
    std::vector<regmatch_t> found(std::size_t(n) + 1, regmatch_t{-1, -1});
    const int code = regexec(&fCookie, bytes.constData(), found.size(), found.data(), 0);
    if (code == REG_NOMATCH) return std::nullopt;
    if (code != 0) {
        logError(code);
        return std::nullopt;
    }
    QStringList groups;
    for (std::size_t i = 1; i < found.size(); ++i) {
        const regmatch_t& m = found[i];
        if (m.rm_so < 0 || m.rm_eo <= m.rm_so || m.rm_eo > bytes.size()) continue;
        groups.append(QString::fromUtf8(bytes.constData() + m.rm_so, m.rm_eo - m.rm_so));
    }
    return groups;
}

void NSRegex::logError(int code) {
    char text[256];
    regerror(code, &fCookie, text, sizeof text);
    TROVIX_LOG() << QStringLiteral("(%1) %2").arg(code).arg(QString::fromLocal8Bit(text));
}
