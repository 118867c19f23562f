#include "support/LoopbackSongWeb.h"

namespace {

std::string s(const QString& text) {
    return text.toStdString();
}

} // namespace

LoopbackSongWeb::LoopbackSongWeb(const QString& songTitle) : fSongTitle(songTitle) {
    fServer.handle("/cg/amg.dll", [this](const httplib::Request& req, httplib::Response& res) {
        res.set_content(amgPage(req), "text/html");
    });
    fServer.handle("/musicsearch", [this](const httplib::Request& req, httplib::Response& res) {
        res.set_content(googlePage(req), "text/html");
    });
    fServer.handle("/musicl", [this](const httplib::Request& req, httplib::Response& res) {
        res.set_content(googleAlbumPage(req), "text/html");
    });
}

void LoopbackSongWeb::addAlbum(const Album& album) {
    std::lock_guard lock(fMutex);
    fAlbums.append(album);
}

std::string LoopbackSongWeb::amgPage(const httplib::Request& req) const {
    std::lock_guard lock(fMutex);
    if (req.get_param_value("OPT1") == "3")
        return "<table><tr><td class=\"cell\"><a href=\"/cg/amg.dll?p=amg&sql=33:song\">" +
               s(fSongTitle) + "</a></td><td class=\"cell\">12</td></tr></table>";
    const std::string sql = req.get_param_value("sql");
    if (sql == "33:song") {
        std::string rows;
        for (const Album& a : fAlbums) {
            if (a.site != Site::AMG) continue;
            rows += "<tr><td class=\"sorted-cell\">" + s(a.artist) +
                    "</td><td class=\"cell\">5:05</td><td class=\"cell\">x</td>"
                    "<td class=\"cell\"><a href=\"/cg/amg.dll?p=amg&sql=10:" +
                    s(a.id) + "\">" + s(a.album) + "</a></td><td class=\"cell\">x</td>" +
                    "<td class=\"cell\">" + s(a.year) + "</td><td class=\"cell\"><a href=\"/g\">" +
                    s(a.genre) + "</a></td></tr>\n";
        }
        return "<html><div id=\"tabcontent_0\"><div id=\"songearchresults\"><table>\n" + rows +
               "</table></div><!--End Center Content--></html>";
    }
    for (const Album& a : fAlbums) {
        if (a.site != Site::AMG || sql != "10:" + s(a.id)) continue;
        std::string page =
            "<html><body>\n"
            "<table><tr><td><span>Artist</span></td><td><a href=\"/a\">" +
            s(a.artist) +
            "</a></td></tr></table>\n"
            "<table><tr><td><span>Album</span></td><td class=\"title\">" +
            s(a.album) +
            "</td></tr></table>\n"
            "<table><tr><td><span>Release Date</span></td><td>" +
            s(a.year) +
            "</td></tr></table>\n"
            "<!--Begin Genre Listing--><ul><li><a href=\"/g\">" +
            s(a.genre) +
            "</a></li></ul>\n<div><table><tr><td>Pick</td><td>Play</td><td>#</td><td>Sample</td>"
            "<td class=\"passive\">Title <img src=\"/i/spacer.gif\"></td>"
            "<td class=\"passive\">Time <img src=\"/i/spacer.gif\"></td></tr></table></div></td>"
            "</tr>\n<table>\n";
        int n = 0;
        for (const QString& title : a.titles) {
            const std::string number = std::to_string(++n);
            page += "<tr class=\"visible\" id=\"trlink\" onclick=\"z('" + number +
                    "')\"><td>x</td><td>play</td><td>" + number + "</td><td></td><td class=\"t\">" +
                    s(title) + "</td><td>4:15</td></tr>\n";
        }
        return page + "</table></body></html>";
    }
    return "<html>nothing</html>";
}

std::string LoopbackSongWeb::googlePage(const httplib::Request&) const {
    std::lock_guard lock(fMutex);
    std::string rows;
    int n = 0;
    for (const Album& a : fAlbums) {
        if (a.site != Site::Google) continue;
        rows += "<tr><td>spacer</td></tr>\n<tr><td>" + std::to_string(++n) +
                ".</td><td valign=top><a href=/musicl?song>" + s(fSongTitle) +
                "</a><br><font size=-1>By: <a href=/musics?q=b>" + s(a.artist) +
                "</a> Album: <a href=/musicl?lid=1&aid=" + s(a.id) + ">" + s(a.album) +
                "</a></font></td></tr>\n";
    }
    return "<html>Results 1 - 3 of about <b>3 songs</b>\n<p class=g><table>\n" + rows +
           "</table>\n<div id=navbar class=n></div></html>";
}

std::string LoopbackSongWeb::googleAlbumPage(const httplib::Request& req) const {
    std::lock_guard lock(fMutex);
    const std::string id = req.get_param_value("aid");
    for (const Album& a : fAlbums) {
        if (a.site != Site::Google || id != s(a.id)) continue;
        std::string page = "<html><table><tr><td>Artist:</td><td><font size=-1> " + s(a.artist) +
                           " </font></td></tr><tr><td>Album:</td><td><font size=-1>" +
                           s(a.album) + "&nbsp;(" + s(a.year) +
                           ")</font></td></tr></table>\n<b>Tracks</b><table class=t>\n";
        int n = 0;
        for (const QString& title : a.titles) {
            const std::string number = std::to_string(++n);
            page += "<tr><td class=n>" + number + ".</td><td><a href=/s" + number + "> " +
                    s(title) + " </a></td></tr>\n";
        }
        return page + "</table></html>";
    }
    return "<html>nothing</html>";
}
