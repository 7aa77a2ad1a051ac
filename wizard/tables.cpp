#include "wizard/tables.h"

#include "resources/brellmark/resource.h"

namespace wiz {

const char* const TimeZoneTable[kTimeZoneCount] = {
    "(GMT-12:00) Eniwetok,Kwajalein",
    "(GMT-11:00) MidwayIsland,Samoa",
    "(GMT-10:00) Hawaii",
    "(GMT-09:00) Alaska",
    "(GMT-08:00) Pacific Time(US & Canada); Tijuana",
    "(GMT-07:00) Arizona",
    "(GMT-07:00) Mountain Time(US & Canada)",
    "(GMT-06:00) Central Time(US & Canada)",
    "(GMT-06:00) Mexico City, Tegucigalpa",
    "(GMT-06:00) Saskatchewan",
    "(GMT-05:00) Bogota, Lima, Quito",
    "(GMT-05:00) Eastern Time(US & Canada)",
    "(GMT-05:00) Indiana(East)",
    "(GMT-04:00) Atlantic Time(Canada)",
    "(GMT-04:00) Caracas, La Paz",
    "(GMT-04:00) Santiago",
    "(GMT-03:30) Newfoundland",
    "(GMT-03:00) Brasilia",
    "(GMT-03:00) Buenos Aires, Georgetown",
    "(GMT-02:00) Mid-Atlantic",
    "(GMT-01:00) Azores, Cape Verde Is.",
    "(GMT) Casablanca, Monrovia",
    "(GMT) Greenwich Mean Time : Dublin, Edinburgh, Lisbon, London",
    "(GMT+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna",
    "(GMT+01:00) Belgrade, Bratislava, Budapest, Ljubljana, Prague",
    "(GMT+01:00) Brussels, Copenhagen, Madrid, Paris, Vilnius",
    "(GMT+01:00) Sarajevo, Skopje, Sofija, Warsaw, Zagreb",
    "(GMT+02:00) Athens, Istanbul, Minsk",
    "(GMT+02:00) Bucharest",
    "(GMT+02:00) Cairo",
    "(GMT+02:00) Harare, Pretoria",
    "(GMT+02:00) Helsinki, Riga, Tallinn",
    "(GMT+02:00) Israel",
    "(GMT+03:00) Baghdad, Kuwait, Riyadh",
    "(GMT+03:00) Moscow, St. Petersburg, Volgograd",
    "(GMT+03:00) Nairobi",
    "(GMT+03:30) Tehran",
    "(GMT+04:00) Abu Dhabi, Muscat",
    "(GMT+04:00) Baku, Tbilisi",
    "(GMT+04:30) Kabul",
    "(GMT+05:00) Eekaterinburg",
    "(GMT+05:00) Islamabad, Karachi, Tashkent",
    "(GMT+05:30) Bombay, Calcutta, Madras, New Delhi",
    "(GMT+06:00) Almaty, Dhaka",
    "(GMT+06:00) Colombo",
    "(GMT+07:00) Bangkok, Hanoi, Jakarta",
    "(GMT+08:00) Beijing, Chongqing, Hong Kong, Urumqi",
    "(GMT+08:00) Perth",
    "(GMT+08:00) Singapore",
    "(GMT+08:00) Taipei",
    "(GMT+09:00) Osaka, Sapporo, Tokyo",
    "(GMT+09:00) Seoul",
    "(GMT+09:00) Yakutsk",
    "(GMT+09:30) Adelaide",
    "(GMT+09:30) Darwin",
    "(GMT+10:00) Brisbane",
    "(GMT+10:00) Canberra, Melbourne, Sydney",
    "(GMT+10:00) Guam, Port Moresby",
    "(GMT+10:00) Hobart",
    "(GMT+10:00) Vladivostok",
    "(GMT+11:00) Magadan, Solomon Is., New Caledonia",
    "(GMT+12:00) Auckland, Wellington",
    "(GMT+12:00) Fiji, Kamchatka, Marshall Is.",
};

EncodingTable::EncodingTable()
    : entries_{
          {"Simplified Chinese", IDS_WIZ_ENC_CHS, 936},
          {"Tranditional Chinese", IDS_WIZ_ENC_CHT, 950},
          {"Cyrillic", IDS_WIZ_ENC_CYRILLIC, 866},
          {"English", IDS_WIZ_ENC_ENGLISH, 437},
          {"Greek", IDS_WIZ_ENC_GREEK, 737},
          {"Icelandic", IDS_WIZ_ENC_ICELANDIC, 861},
          {"Japanese", IDS_WIZ_ENC_JAPANESE, 932},
          {"Korean", IDS_WIZ_ENC_KOREAN, 949},
          {"Slavic/Latin 2", IDS_WIZ_ENC_LATIN2, 852},
          {"Western Europe/Latin 1", IDS_WIZ_ENC_LATIN1, 850},
      } {}

void EncodingTable::Localise(const std::function<std::string(int)>& load) {
    for (EncodingEntry& e : entries_) {
        std::string text = load(e.nameId);
        if (!text.empty())
            e.name = text.substr(0, 255);
    }
}

int EncodingTable::IndexOf(int32_t codePage) const {
    for (int i = 0; i < kEncodingCount; ++i)
        if (entries_[i].codePage == codePage)
            return i;
    return -1;
}

DefaultChoice DefaultsForLanguage(uint16_t languageId) {
    const int primary = languageId & 0x3FF;
    const int sub = languageId & 0xFC00;
    switch (primary) {
        case 0x04:  // Chinese
            if (sub == 0x0400)
                return {49, 1};
            if (sub == 0x0800)
                return {45, 0};
            return {11, 3};
        case 7:  // German
            return {23, 9};
        case 10:  // Spanish
        case 12:  // French
            return {25, 9};
        case 16:  // Italian
            return {23, 9};
        case 17:  // Japanese
            return {50, 6};
        case 18:  // Korean
            return {51, 7};
        case 25:  // Russian
            return {34, 2};
        default:
            return {11, 3};
    }
}

}  // namespace wiz
