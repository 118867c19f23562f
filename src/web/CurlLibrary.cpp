#include "web/CurlLibrary.h"

#include "system/Log.h"

#include <dlfcn.h>

namespace {

struct Loaded {
    CurlLibrary library;
    QString error; // null when the library is usable
};

template <typename Function>
bool resolve(void* handle, const char* name, Function& into) {
    into = reinterpret_cast<Function>(dlsym(handle, name));
    return into != nullptr;
}

Loaded load() {
    Loaded loaded;
    // The run-time name the development package's libcurl.so points at.
    void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        loaded.error = QStringLiteral("libcurl could not be loaded: %1")
                           .arg(QString::fromLocal8Bit(why ? why : "unknown error"));
        return loaded;
    }
    CurlLibrary& c = loaded.library;
    decltype(&curl_global_init) globalInit = nullptr;
    const bool all =
        resolve(handle, "curl_global_init", globalInit) &&
        resolve(handle, "curl_easy_init", c.easy_init) &&
        resolve(handle, "curl_easy_cleanup", c.easy_cleanup) &&
        resolve(handle, "curl_easy_setopt", c.easy_setopt) &&
        resolve(handle, "curl_easy_getinfo", c.easy_getinfo) &&
        resolve(handle, "curl_easy_strerror", c.easy_strerror) &&
        resolve(handle, "curl_multi_init", c.multi_init) &&
        resolve(handle, "curl_multi_cleanup", c.multi_cleanup) &&
        resolve(handle, "curl_multi_add_handle", c.multi_add_handle) &&
        resolve(handle, "curl_multi_remove_handle", c.multi_remove_handle) &&
        resolve(handle, "curl_multi_perform", c.multi_perform) &&
        resolve(handle, "curl_multi_info_read", c.multi_info_read) &&
        resolve(handle, "curl_multi_poll", c.multi_poll) &&
        resolve(handle, "curl_slist_append", c.slist_append) &&
        resolve(handle, "curl_slist_free_all", c.slist_free_all) &&
        resolve(handle, "curl_url", c.url) && resolve(handle, "curl_url_cleanup", c.url_cleanup) &&
        resolve(handle, "curl_url_get", c.url_get) && resolve(handle, "curl_url_set", c.url_set) &&
        resolve(handle, "curl_free", c.free);
    if (!all) {
        loaded.error = QStringLiteral("libcurl is too old: it lacks functions Trovix uses");
        return loaded; // the handle stays open: harmless, and never retried
    }
    if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        loaded.error = QStringLiteral("libcurl could not be initialised");
    return loaded;
}

} // namespace

const CurlLibrary* CurlLibrary::get(QString* why) {
    static const Loaded loaded = [] {
        Loaded result = load();
        if (!result.error.isNull()) TROVIX_LOG() << result.error;
        return result;
    }();
    if (!loaded.error.isNull()) {
        if (why) *why = loaded.error;
        return nullptr;
    }
    return &loaded.library;
}
