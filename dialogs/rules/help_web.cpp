#include "dialogs/rules/help_web.h"

#include <cstdio>

namespace rules {

namespace {

struct HelpFile {
    const char* locale;
    const char* file;
};
constexpr HelpFile kHelpFiles[] = {
    {"00000404", "KDZ_CHT.mht"}, {"00000804", "KDZ_CHS.mht"}, {"00000406", "KDZ_DAN.mht"},
    {"00000413", "KDZ_DUT.mht"}, {"0000040B", "KDZ_FIN.mht"}, {"0000040C", "KDZ_FRA.mht"},
    {"00000407", "KDZ_DUE.mht"}, {"00000410", "KDZ_ITA.mht"}, {"00000411", "KDZ_JPN.mht"},
    {"00000412", "KDZ_KOR.mht"}, {"00000414", "KDZ_NOR.mht"}, {"00000816", "KDZ_POR.mht"},
    {"00000419", "KDZ_RUS.mht"}, {"0000080A", "KDZ_ESP.mht"}, {"0000041D", "KDZ_SWE.mht"},
};
constexpr const char kEnglish[] = "KDZ_ENG.mht";

}  // namespace

std::string HelpFileForLocale(const std::string& locale) {
    for (const HelpFile& h : kHelpFiles)
        if (locale == h.locale)
            return h.file;
    return kEnglish;
}

std::vector<std::string> AllHelpFiles() {
    std::vector<std::string> out = {kEnglish};
    for (const HelpFile& h : kHelpFiles)
        out.push_back(h.file);
    return out;
}

std::string ProgramFolder(const std::string& programPath) {
    const std::size_t slash = programPath.rfind('\\');
    return slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
}

std::string QuotedParameter(const std::string& text) {
    if (text.find_first_of(" \t") == std::string::npos || text.empty() || text.front() == '"')
        return text;
    return "\"" + text + "\"";
}

std::string WebAdminAddress(int kind, uint32_t ip) {
    const unsigned a = ip >> 24, b = (ip >> 16) & 0xFF, c = (ip >> 8) & 0xFF, d = ip & 0xFF;
    char buf[40];
    if (kind == 1)
        std::snprintf(buf, sizeof buf, "https://%u.%u.%u.%u:8098/", a, b, c, d);
    else if (kind == 2)
        std::snprintf(buf, sizeof buf, "http://%u.%u.%u.%u:6000/", a, b, c, d);
    else
        std::snprintf(buf, sizeof buf, "http://%u.%u.%u.%u", a, b, c, d);
    return buf;
}

}  // namespace rules
