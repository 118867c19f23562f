#include "media/Digest.h"

#include <openssl/evp.h>

Digest::Digest(Kind kind) : fContext(EVP_MD_CTX_new()) {
    fOk =
        fContext && EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(fContext),
                                      kind == Kind::Sha1 ? EVP_sha1() : EVP_sha256(), nullptr) == 1;
}

Digest::~Digest() {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(fContext));
}

void Digest::addData(const char* bytes, size_t length) {
    fOk = fOk && EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(fContext), bytes, length) == 1;
}

QByteArray Digest::result() {
    QByteArray out(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int size = 0;
    fOk = fOk && EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(fContext),
                                    reinterpret_cast<unsigned char*>(out.data()), &size) == 1;
    if (!fOk) return {};
    out.truncate(qsizetype(size));
    return out;
}

QByteArray Digest::hash(const char* bytes, size_t length, Kind kind) {
    Digest digest(kind);
    digest.addData(bytes, length);
    return digest.result();
}
