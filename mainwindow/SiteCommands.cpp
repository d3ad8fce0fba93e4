#include "SiteCommands.h"

namespace tinko {

using Action = SiteCommand::Action;
using Site = SiteCommand::Site;

const std::array<SiteCommand, 23> kSiteCommands = {{
    {"Command1", Action::Browse, Site::Songs, "/flash/19608.swf", ""},
    {"Command2", Action::About, Site::None, "", ""},
    {"Command3", Action::Browse, Site::Maker, "/", ""},
    {"Command4", Action::Browse, Site::Music, "/", ""},
    {"Command5", Action::Browse, Site::Video, "/live/ahws/", "site=pptv"},
    {"Command7", Action::Browse, Site::Maker, "/tanqing", ""},
    {"Command8", Action::Browse, Site::BabyGoods, "/subject/332/", ""},
    {"Command9", Action::Browse, Site::Maker, "/ertonggouwu", ""},
    {"Command10", Action::Browse, Site::Radio, "/fmv3.html", "from=app"},
    {"Command11", Action::Browse, Site::Television, "/live/cctvchild/", ""},
    {"两只老虎钢琴谱曲", Action::Browse, Site::Songs, "/flash/18339.swf", ""},
    {"外婆的澎湖湾", Action::Browse, Site::Songs, "/flash/110.swf", ""},
    {"虫儿飞简易钢琴谱子", Action::Browse, Site::Songs, "/flash/14622.swf", ""},
    {"生日快乐", Action::Browse, Site::Songs, "/flash/21132.swf", ""},
    {"铃儿响叮当", Action::Browse, Site::Songs, "/flash/15898.swf", ""},
    {"世上只有妈妈好", Action::Browse, Site::Songs, "/flash/21882.swf", ""},
    {"小星星钢琴谱曲", Action::Browse, Site::Songs, "/flash/18311.swf", ""},
    {"更多资源", Action::Browse, Site::Maker, "/gengduoziyuan", ""},
    {"儿童360", Action::Browse, Site::Navigation, "/index.html", ""},
    {"育儿亲子独立博客", Action::Browse, Site::Maker, "/wordpress/", ""},
    {"儿童资源下载", Action::Browse, Site::Maker, "/gangqin4", ""},
    {"软件在线更新", Action::External, Site::Maker, "/gangqin5", ""},
    {"版权信息", Action::About, Site::None, "", ""},
}};

namespace {

const QString& hostOf(Site site, const SiteHosts& hosts) {
    switch (site) {
        case Site::Songs:
            return hosts.songs;
        case Site::Radio:
            return hosts.radio;
        case Site::Television:
            return hosts.television;
        case Site::Music:
            return hosts.music;
        case Site::Video:
            return hosts.video;
        case Site::BabyGoods:
            return hosts.babyGoods;
        case Site::Navigation:
            return hosts.navigation;
        case Site::Maker:
        case Site::None:
            break;
    }
    return hosts.maker;
}

}  // namespace

QString siteAddress(const SiteCommand& command, const SiteHosts& hosts) {
    QString address =
        QStringLiteral("http://") + hostOf(command.site, hosts) + QString::fromUtf8(command.path);
    if (command.query[0] != '\0') {
        address += QLatin1Char('?') + QString::fromUtf8(command.query);
    }
    return address;
}

}  // namespace tinko
