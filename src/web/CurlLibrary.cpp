#include "web/CurlLibrary.h"

#include "system/DynamicSymbols.h"
#include "system/Log.h"

#include <dlfcn.h>

namespace {

struct LoadedCurl {
    CurlLibrary library;
    QString error; // null when the library is usable
};

LoadedCurl loadCurl() {
    LoadedCurl loaded;
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
        DynamicSymbols::resolve(handle, "curl_global_init", globalInit) &&
        DynamicSymbols::resolve(handle, "curl_easy_init", c.easy_init) &&
        DynamicSymbols::resolve(handle, "curl_easy_cleanup", c.easy_cleanup) &&
        DynamicSymbols::resolve(handle, "curl_easy_setopt", c.easy_setopt) &&
        DynamicSymbols::resolve(handle, "curl_easy_getinfo", c.easy_getinfo) &&
        DynamicSymbols::resolve(handle, "curl_easy_strerror", c.easy_strerror) &&
        DynamicSymbols::resolve(handle, "curl_multi_init", c.multi_init) &&
        DynamicSymbols::resolve(handle, "curl_multi_cleanup", c.multi_cleanup) &&
        DynamicSymbols::resolve(handle, "curl_multi_add_handle", c.multi_add_handle) &&
        DynamicSymbols::resolve(handle, "curl_multi_remove_handle", c.multi_remove_handle) &&
        DynamicSymbols::resolve(handle, "curl_multi_perform", c.multi_perform) &&
        DynamicSymbols::resolve(handle, "curl_multi_info_read", c.multi_info_read) &&
        DynamicSymbols::resolve(handle, "curl_multi_poll", c.multi_poll) &&
        DynamicSymbols::resolve(handle, "curl_slist_append", c.slist_append) &&
        DynamicSymbols::resolve(handle, "curl_slist_free_all", c.slist_free_all) &&
        DynamicSymbols::resolve(handle, "curl_url", c.url) &&
        DynamicSymbols::resolve(handle, "curl_url_cleanup", c.url_cleanup) &&
        DynamicSymbols::resolve(handle, "curl_url_get", c.url_get) &&
        DynamicSymbols::resolve(handle, "curl_url_set", c.url_set) &&
        DynamicSymbols::resolve(handle, "curl_free", c.free);
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
    static const LoadedCurl loaded = [] {
        LoadedCurl result = loadCurl();
        if (!result.error.isNull()) TROVIX_LOG() << result.error;
        return result;
    }();
    if (!loaded.error.isNull()) {
        if (why) *why = loaded.error;
        return nullptr;
    }
    return &loaded.library;
}
