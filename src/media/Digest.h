#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// A SHA-1 or SHA-256 digest computed by OpenSSL, which uses the processor's
// SHA instructions: five to ten times the speed of QCryptographicHash on the
// megabytes a save keeps (the rollback journal). libcrypto is opened for
// the first digest of kLibcryptoFrom bytes or more, or by prepare(), not at
// start: loading and setting it up takes over a millisecond, more than Qt
// takes to hash the few kilobytes of a small save's journal. Without it,
// QCryptographicHash gives the same digests.
class QCryptographicHash;

class Digest {
public:
    enum class Kind { Sha1, Sha256 };

    // From this many bytes libcrypto costs less than Qt's digest, opening
    // it included: 1.3 ms to open and set it up, then 0.6 ms a megabyte,
    // against Qt's 5 ms a megabyte.
    static constexpr size_t kLibcryptoFrom = size_t(256) << 10;

    // `expected`: about how many bytes the digest will take. Fewer than
    // kLibcryptoFrom are hashed by Qt unless libcrypto is open already.
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
