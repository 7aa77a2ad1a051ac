// The wizard's two lookup tables: the time zones of Step 3, whose position is
// the value sent as TAG_TIME_ZONE, and the filename encodings of Step 4, whose
// code page is the value sent as TAG_ENCODING. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace wiz {

constexpr int kTimeZoneCount = 63;
constexpr int kEncodingCount = 10;

// Same texts in every language; the order is part of the protocol.
extern const char* const TimeZoneTable[kTimeZoneCount];

struct EncodingEntry {
    std::string name;  // built-in English name, replaced by the localised text
    int nameId;        // string id of the localised text
    int32_t codePage;
};

// The ten encodings in table order. Localise replaces every name whose
// localised string exists (`load` returns empty when it does not).
class EncodingTable {
public:
    EncodingTable();
    void Localise(const std::function<std::string(int)>& load);
    const EncodingEntry& operator[](int index) const { return entries_[index]; }
    // Index of the entry with this code page, or -1.
    int IndexOf(int32_t codePage) const;

private:
    EncodingEntry entries_[kEncodingCount];
};

// Preselected entries of Steps 3 and 4 for the system default language
// identifier (primary language = id & 0x3FF, sublanguage bits = id & 0xFC00).
struct DefaultChoice {
    int timeZone;
    int encoding;
};
DefaultChoice DefaultsForLanguage(uint16_t languageId);

}  // namespace wiz
