#include "config/opml_write.h"

#include <cstdio>

#include "framework/file.h"

namespace
{

// Days since 1970-01-01 as a proleptic Gregorian date.
void CivilFromDays(int64_t days, int64_t& year, int& month, int& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shifted = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

} // namespace

std::string OpmlAttributeText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20) out += c;
            break;
        }
    }
    return out;
}

std::string Rfc822Date(int64_t seconds)
{
    static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int64_t year;
    int month, day;
    CivilFromDays(days, year, month, day);
    const int weekday = static_cast<int>(((days % 7) + 7) % 7); // 1970-01-01 was a Thursday
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %lld %02d:%02d:%02d GMT", kDays[weekday], day,
                  kMonths[month - 1], static_cast<long long>(year), static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

std::string OpmlDocument(const std::vector<OpmlSite>& sites, int64_t now)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                      "<opml version=\"2.0\">\r\n"
                      "  <head>\r\n"
                      "    <title>Tansy sites</title>\r\n"
                      "    <dateCreated>" +
                      Rfc822Date(now) +
                      "</dateCreated>\r\n"
                      "  </head>\r\n"
                      "  <body>\r\n";
    for (const OpmlSite& site : sites) {
        const std::string name = OpmlAttributeText(site.name);
        out += "    <outline type=\"rss\" text=\"" + name + "\" title=\"" + name + "\" xmlUrl=\"" +
               OpmlAttributeText(site.url) + "\"/>\r\n";
    }
    out += "  </body>\r\n"
           "</opml>\r\n";
    return out;
}

bool SaveOpmlFile(const char* path, const std::string& document)
{
    const std::string temporary = std::string(path) + ".tmp";
    try {
        CFile file(temporary.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
        file.Write(document.data(), static_cast<unsigned>(document.size()));
        file.Flush();
    } catch (const CFileException&) {
        DeleteFileNamed(temporary.c_str());
        return false;
    }
    if (ReplaceFileWith(temporary.c_str(), path)) return true;
    DeleteFileNamed(temporary.c_str());
    return false;
}
