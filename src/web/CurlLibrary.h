#pragma once

#include <QString>

#include <curl/curl.h>

// libcurl, opened the first time something is fetched. Linked directly, it
// and the libraries it needs (TLS, HTTP/2, SSH, LDAP, Kerberos: some thirty)
// were mapped and relocated at every start, about 7 ms of each run that
// never goes to the web: an opening with the sources off, `--version`, the
// file-manager hand-over. Each member is the libcurl function of that name.
struct CurlLibrary {
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_multi_init) multi_init = nullptr;
    decltype(&curl_multi_cleanup) multi_cleanup = nullptr;
    decltype(&curl_multi_add_handle) multi_add_handle = nullptr;
    decltype(&curl_multi_remove_handle) multi_remove_handle = nullptr;
    decltype(&curl_multi_perform) multi_perform = nullptr;
    decltype(&curl_multi_info_read) multi_info_read = nullptr;
    decltype(&curl_multi_poll) multi_poll = nullptr;
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;
    decltype(&curl_url) url = nullptr;
    decltype(&curl_url_cleanup) url_cleanup = nullptr;
    decltype(&curl_url_get) url_get = nullptr;
    decltype(&curl_url_set) url_set = nullptr;
    decltype(&curl_free) free = nullptr;

    // The library, opened and globally initialised once for the process;
    // null when it cannot be opened or lacks a function, with why in *why.
    static const CurlLibrary* get(QString* why = nullptr);
};
