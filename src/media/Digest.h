#pragma once

#include <QByteArray>

#include <cstddef>

// A SHA-1 or SHA-256 digest computed by OpenSSL, which uses the processor's
// SHA instructions: five to ten times the speed of QCryptographicHash on the
// megabytes a save keeps (the rollback journal). libcrypto is
// opened on the first digest, not at start (its loading cost every run about
// a millisecond); without it, QCryptographicHash gives the same digests.
class QCryptographicHash;

class Digest {
public:
    enum class Kind { Sha1, Sha256 };

    explicit Digest(Kind kind);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    void addData(const char* bytes, size_t length);
    void addData(const QByteArray& bytes) { addData(bytes.constData(), size_t(bytes.size())); }
    // Empty when the digest failed.
    QByteArray result();

    static QByteArray hash(const char* bytes, size_t length, Kind kind);
    // Opens libcrypto now, if it is not open yet: a caller about to need a
    // digest soon may have it opened on another thread meanwhile.
    static void prepare();

private:
    void* fContext = nullptr; // EVP_MD_CTX
    QCryptographicHash* fFallback = nullptr;
    bool fOk = false;
};
