#include "media/Digest.h"

#include "system/DynamicSymbols.h"

#include <QCryptographicHash>

#include <openssl/evp.h>

#include <dlfcn.h>

#include <atomic>
#include <optional>

namespace {

// The few libcrypto functions a digest needs, each named as in OpenSSL.
struct Crypto {
    decltype(&EVP_MD_CTX_new) ctxNew = nullptr;
    decltype(&EVP_MD_CTX_free) ctxFree = nullptr;
    decltype(&EVP_sha1) sha1 = nullptr;
    decltype(&EVP_sha256) sha256 = nullptr;
    decltype(&EVP_DigestInit_ex) init = nullptr;
    decltype(&EVP_DigestUpdate) update = nullptr;
    decltype(&EVP_DigestFinal_ex) final = nullptr;
};

// Set once libcrypto has been tried, opened or not.
std::atomic<bool> gCryptoTried{false};

// Null when libcrypto 3 cannot be opened.
const Crypto* crypto() {
    static const std::optional<Crypto> loaded = []() -> std::optional<Crypto> {
        void* handle = dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!handle) return std::nullopt;
        Crypto c;
        if (DynamicSymbols::resolve(handle, "EVP_MD_CTX_new", c.ctxNew) &&
            DynamicSymbols::resolve(handle, "EVP_MD_CTX_free", c.ctxFree) &&
            DynamicSymbols::resolve(handle, "EVP_sha1", c.sha1) &&
            DynamicSymbols::resolve(handle, "EVP_sha256", c.sha256) &&
            DynamicSymbols::resolve(handle, "EVP_DigestInit_ex", c.init) &&
            DynamicSymbols::resolve(handle, "EVP_DigestUpdate", c.update) &&
            DynamicSymbols::resolve(handle, "EVP_DigestFinal_ex", c.final))
            return c;
        return std::nullopt;
    }();
    gCryptoTried.store(true, std::memory_order_release);
    return loaded ? &*loaded : nullptr;
}

} // namespace

Digest::Digest(Kind kind, size_t expected) {
    const bool useCrypto =
        expected >= kLibcryptoFrom || gCryptoTried.load(std::memory_order_acquire);
    if (const Crypto* c = useCrypto ? crypto() : nullptr) {
        fContext = c->ctxNew();
        fOk = fContext && c->init(static_cast<EVP_MD_CTX*>(fContext),
                                  kind == Kind::Sha1 ? c->sha1() : c->sha256(), nullptr) == 1;
        return;
    }
    fFallback = new QCryptographicHash(kind == Kind::Sha1 ? QCryptographicHash::Sha1
                                                          : QCryptographicHash::Sha256);
    fOk = true;
}

Digest::~Digest() {
    if (fContext) crypto()->ctxFree(static_cast<EVP_MD_CTX*>(fContext));
    delete fFallback;
}

void Digest::addData(const char* bytes, size_t length) {
    if (!fOk) return;
    if (fFallback) {
        fFallback->addData(QByteArrayView(bytes, qsizetype(length)));
        return;
    }
    fOk = crypto()->update(static_cast<EVP_MD_CTX*>(fContext), bytes, length) == 1;
}

QByteArray Digest::result() {
    if (!fOk) return {};
    if (fFallback) return fFallback->result();
    QByteArray out(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int size = 0;
    fOk = crypto()->final(static_cast<EVP_MD_CTX*>(fContext),
                          reinterpret_cast<unsigned char*>(out.data()), &size) == 1;
    if (!fOk) return {};
    out.truncate(qsizetype(size));
    return out;
}

void Digest::prepare() {
    // Its first digest sets libcrypto up (configuration, providers): that
    // too is done here.
    Digest(Kind::Sha256).result();
}

QByteArray Digest::hash(const char* bytes, size_t length, Kind kind) {
    Digest digest(kind, length);
    digest.addData(bytes, length);
    return digest.result();
}
