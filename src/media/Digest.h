#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// A SHA-1 or SHA-256 digest computed by OpenSSL, which uses the processor's
// SHA instructions: five to ten times the speed of QCryptographicHash on the
// megabytes a save keeps (the rollback journal). libcrypto is opened for
// the first digest of a megabyte or more, or by prepare(), not at start:
// loading and setting it up took milliseconds, more than Qt takes to hash
// the few kilobytes of a small save's journal. Without it,
// QCryptographicHash gives the same digests.
class QCryptographicHash;

class Digest {
public:
    enum class Kind { Sha1, Sha256 };

    // `expected`: about how many bytes the digest will take. Fewer than a
    // megabyte are hashed by Qt unless libcrypto is open already.
    explicit Digest(Kind kind, size_t expected = SIZE_MAX);
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
