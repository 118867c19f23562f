#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include <regex.h>

// A thin wrapper over a compiled POSIX regular expression. An object is used
// by one thread at a time.
class NSRegex {
public:
    static constexpr int kNSRegex_Extended = 1;    // POSIX extended syntax
    static constexpr int kNSRegex_SuccessOnly = 4; // report only match / no match

    static std::unique_ptr<NSRegex> regex(const QString& pattern, int flags);

    // Compiles at once; a pattern that does not compile leaves fValid false
    // and every match fails.
    NSRegex(const QString& pattern, int flags);
    ~NSRegex();
    NSRegex(const NSRegex&) = delete;
    NSRegex& operator=(const NSRegex&) = delete;

    bool isValid() const { return fValid; }
    const QString& pattern() const { return fPattern; }

    bool match(const QString& text) { return match(text, 0); }
    // execFlags are the POSIX REG_NOTBOL / REG_NOTEOL flags.
    bool match(const QString& text, int execFlags);

    // The texts of groups 1 to n that matched a non-empty stretch, in group
    // order; groups that matched nothing are skipped, so positions need not
    // follow group numbers. None when the text does not match.
    std::optional<QStringList> matches(const QString& text, int n);

    void logError(int code);

private:
    regex_t fCookie{};
    bool fValid = false;
    int fCompileFlags = 0;
    QString fPattern;
};
