#pragma once

#include <QString>

namespace tinko {

// The host names of the web sites the program opens, one per kind of site.
// The defaults are set when the build is configured (TINKO_HOST_M and so on,
// see the README); a distributor sets its own.
struct SiteHosts {
    QString maker;       // M: the maker's web site
    QString songs;       // S: children's song animations
    QString radio;       // R: children's radio
    QString television;  // T: the national broadcaster
    QString music;       // P: a search portal's online radio
    QString video;       // V: a video portal's live television
    QString babyGoods;   // G: a baby-products company
    QString navigation;  // N: a portal's children's navigation page

    static SiteHosts defaults();
};

}  // namespace tinko
