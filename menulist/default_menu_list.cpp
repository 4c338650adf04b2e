#include "menulist/default_menu_list.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace tqm {
namespace {

// One item of the built-in list. Value is the start value: a number, or for a
// choice item the index of its choice.
struct MenuRow {
    int number;
    std::string_view name;
    int parameterLength;
    int formatCode;
    double value;
    std::string_view unit;
    std::string_view rangeText;
};

// Item 10 holds the half-width middle dot of code page 932 (byte 0xA5).
constexpr MenuRow kRows[] = {
    {1, "FAST DELAY", 4, 0, 300, "msec", "20-4000 (20msec Steps)"},
    {2, "FAST HOLD", 4, 0, 0, "msec", "0-2000 (20msec Steps)"},
    {3, "MID DELAY", 4, 0, 700, "msec", "20-4000 (20msec Steps)"},
    {4, "MID HOLD", 4, 0, 0, "msec", "0-2000 (20msec Steps)"},
    {5, "SLOW DELAY", 4, 0, 2000, "msec", "20-4000 (20msec Steps)"},
    {6, "SLOW HOLD", 4, 0, 0, "msec", "0-2000 (20msec Steps)"},
    {7, "TFT COLOR", 1, 1, 0, "", "COOL BLUE/CONTRAST BLUE/FLASH WHITE/CONTRAST UMBER/UMBER"},
    {8, "DIMMER METER", 2, 0, 4, "", "0-15"},
    {9, "DIMMER VFD", 2, 0, 4, "", "0-7"},
    {10, "BAR DISPLAY SELECT", 1, 1, 1, "", "CLAR/CW TUNE/VRF\xA5" "uTune"},
    {11, "Sub MTR Peak Hold", 1, 15, 0, "", "OFF/0.5/1.0/2.0 (sec)"},
    {12, "ROTATOR START UP", 1, 1, 0, "", "0/90/180/270"},
    {13, "ROTATOR OFFSET ADJ", 2, 8, 0, "", "-30-0 (2 Steps)"},
    {14, "QMB MARKER", 1, 1, 1, "", "DISABLE/ENABLE"},
    {15, "RX OUT LEVEL", 3, 0, 50, "", "0-100"},
    {16, "TX OUT LEVEL", 3, 0, 50, "", "0-100"},
    {17, "BEACON TIME", 3, 16, 0, "sec", "OFF/1-255 (sec)"},
    {18, "NUMBER STYLE", 1, 1, 0, "", "1290/AUNO/AUNT/A2NO/A2NT/12NO/12NT"},
    {19, "CONTEST NUMBER", 4, 0, 1, "", "0-9999"},
    {20, "CW MEMORY 1", 1, 1, 1, "", "TEXT/MESSAGE"},
    {21, "CW MEMORY 2", 1, 1, 1, "", "TEXT/MESSAGE"},
    {22, "CW MEMORY 3", 1, 1, 1, "", "TEXT/MESSAGE"},
    {23, "CW MEMORY 4", 1, 1, 1, "", "TEXT/MESSAGE"},
    {24, "CW MEMORY 5 ", 1, 1, 1, "", "TEXT/MESSAGE"},
    {25, "ANT SELECT", 1, 1, 0, "", "BAND/STACK"},
    {26, "BEEP LEVEL", 3, 0, 50, "", "0-100"},
    {27, "CAT RATE", 1, 1, 0, "bps", "4800/9600/19200/38400(bps)"},
    {28, "CAT TIME OUT TIMER", 1, 1, 0, "msec", "10/100/1000/3000(msec)"},
    {29, "CAT RTS", 1, 1, 1, "", "DISABLE/ENABLE"},
    {30, "MEM GROUP", 1, 1, 0, "", "DISABLE/ENABLE"},
    {31, "QUICK SPLIT FREQ", 3, 4, 5, "kHz", "-20 - +20 (kHz)"},
    {32, "TRACKING", 1, 1, 0, "", "OFF/BAND/FREQ"},
    {33, "TX TIME OUT TIMER", 1, 1, 0, "", "OFF/5/10/15/20/25/30 (min)"},
    {34, "TRV OFFSET", 2, 0, 44, "MHz", "30/31/32/33/34/35/36/37/38/39/40/41/42/43/44/45/46/47/48/49 (MHz)"},
    {35, "uTUNE DIAL STEP", 1, 1, 1, "", "DIAL STEP-2/DIAL STEP-1/OFF"},
    {36, "SUB NB LEVEL", 4, 17, 50, "", "VFO-A/0-100"},
    {37, "SUB OPTION FILTER", 1, 1, 0, "", "1200/500/300 (Hz)"},
    {38, "MIC SCAN", 1, 1, 1, "", "DISABLE/ENABLE"},
    {39, "MIC SCAN RESUME", 1, 1, 1, "", "PAUSE/TIME"},
    {40, "ANTI VOX GAIN", 3, 0, 50, "", "0-100"},
    {41, "FREQ ADJ", 3, 4, 0, "", "-25-0-+25"},
    {42, "LSB", 5, 4, 0, "Hz", "-1000-0-+1000"},
    {43, "USB", 5, 4, 0, "Hz", "-1000-0-+1000"},
    {44, "CW-L", 5, 4, 0, "Hz", "-1000-0-+1000"},
    {45, "CW-U", 5, 4, 0, "Hz", "-1000-0-+1000"},
    {46, "RTTY", 5, 4, 0, "Hz", "-1000-0-+1000"},
    {47, "RTTY-R", 5, 4, 0, "Hz", "-1000-0-+1000"},
    {48, "PKT-LSB", 5, 4, 0, "Hz", "-1000-0-+1000"},
    {49, "PKT-USB", 5, 4, 0, "Hz", "-1000-0-+1000"},
    {50, "AM MIC GAIN", 4, 13, 30, "", "MCVR/FIX(0-100)"},
    {51, "AM MIC SEL", 1, 1, 0, "", "FRONT/DATA/PC"},
    {52, "F-KEYER TYPE", 1, 1, 2, "", "OFF/BUG/ELEKEY/ACS"},
    {53, "F-CW KEYER", 1, 1, 0, "", "NOR/REV"},
    {54, "R-KEYER TYPE", 1, 1, 2, "", "OFF/BUG/ELEKEY/ACS"},
    {55, "R-CW KEYER", 1, 1, 0, "", "NOR/REV"},
    {56, "CW AUTO MODE ", 1, 1, 0, "", "OFF/50M/ON"},
    {57, "CW BFO ", 1, 1, 0, "", "USB/LSB/AUTO"},
    {58, "CW BK-IN ", 1, 1, 0, "", "SEMI/FULL"},
    {59, "CW WAVE SHAPE", 1, 1, 2, "msec", "1/2/4/6 (msec)"},
    {60, "CW WEIGHT", 2, 9, 30, "", " 2.5-3.0-4.5"},
    {61, "CW FREQ DISPLAY", 1, 1, 1, "", "DIRECT FREQ/PITCH OFFSET"},
    {62, "PC KEYING", 1, 1, 0, "", "DISABLE/ENABLE"},
    {63, "QSK", 1, 1, 0, "msec", "15/20/25/30 (msec)"},
    {64, "DATA IN SELECT", 1, 1, 0, "", "PKT/PC"},
    {65, "DATA TX GAIN", 3, 0, 50, "", "0-100"},
    {66, "DATA OUT", 1, 1, 0, "", "VFO-A/VFO-B"},
    {67, "DATA OUT LEVEL", 3, 0, 50, "", "0-100"},
    {68, "DATA VOX DELAY", 4, 0, 300, "msec", "30-300-3000 (msec)"},
    {69, "DATA VOX GAIN", 3, 0, 50, "", "0-100"},
    {70, "PKT DISP (SSB)", 5, 4, 0, "Hz", "-3000-0-+3000Hz (10Hz Steps)"},
    {71, "PKT SHIFT (SSB)", 5, 4, 1000, "Hz", "-3000-0-+3000Hz (10Hz Steps)"},
    {72, "FM MIC GAIN", 4, 13, 50, "", "MCVR/FIX(0-100)"},
    {73, "FM MIC SEL", 1, 1, 0, "", "FRONT/DATA/PC"},
    {74, "RPT SHIFT(28MHz)", 4, 0, 100, "kHz", "0-100-1000kHz (10kHz Steps)"},
    {75, "RPT SHIFT(50MHz)", 4, 0, 1000, "kHz", "0-100-1000-4000kHz (10kHz Steps)"},
    {76, "POLARITY-R", 1, 1, 0, "", "NOR/REV"},
    {77, "POLARITY-T", 1, 1, 0, "", "NOR/REV"},
    {78, "RTTY OUT", 1, 1, 0, "", "VFO-A/VFO-B"},
    {79, "RTTY OUT LEVEL", 3, 0, 50, "", "0-100"},
    {80, "RTTY SHIFT", 1, 1, 0, "Hz", "170/200/425/850 (Hz)"},
    {81, "RTTY TONE", 1, 1, 1, "Hz", "1275/2125 (Hz)"},
    {82, "SSB MIC SELECT", 1, 1, 0, "", "FRONT/DATA/PC"},
    {83, "SSB TX BPF", 1, 1, 3, "", "50-3000/100-2900/200-2800/300-2700/400-2600 (Hz) /3000 (WB)"},
    {84, "LSB RX CARRIER", 4, 4, 0, "Hz", "-200Hz-0-+200Hz(10Hz Steps)"},
    {85, "USB RX CARRIER", 4, 4, 0, "Hz", "-200Hz-0-+200Hz(10Hz Steps)"},
    {86, "SUB LSB CARRIER", 4, 4, 0, "Hz", "-200Hz-0-+200Hz(10Hz Steps)"},
    {87, "SUB USB CARRIER", 4, 4, 0, "Hz", "-200Hz-0-+200Hz(10Hz Steps)"},
    {88, "AGC SLOPE", 1, 1, 0, "", "NORMAL/SLOPE"},
    {89, "HEADPHONE MIX", 1, 1, 0, "", "SEPARATE/COMBINE-1/COMBINE-2"},
    {90, "CONTOUR LEVEL", 3, 11, -15, "", "-40-0-20"},
    {91, "CONTOUR WIDTH", 2, 0, 10, "", "1-11"},
    {92, "IF NOTCH WIDTH", 1, 12, 1, "", "NARROW/WIDE"},
    {93, "CW SHAPE", 1, 1, 1, "", "SOFT/SHARP"},
    {94, "CW SLOPE", 1, 1, 1, "", "STEEP/MEDIUM/GENTLE"},
    {95, "CW NARROW", 2, 1, 6, "", "25/50/100/200/300/400/500/800/1200/1400/1700/2000"},
    {96, "PKT SHAPE", 1, 1, 1, "", "SOFT/SHARP"},
    {97, "PKT SLOPE", 1, 1, 1, "", "STEEP/MEDIUM/GENTLE"},
    {98, "PKT NARROW", 2, 1, 4, "", "25/50/100/200/300/400"},
    {99, "RTY SHAPE", 1, 1, 1, "", "SOFT/SHARP"},
    {100, "RTY SLOPE", 1, 1, 1, "", "STEEP/MEDIUM/GENTLE"},
    {101, "RTY NARROW", 2, 1, 4, "", "25/50/100/200/300/400"},
    {102, "SSB SHAPE", 1, 1, 1, "", "SOFT/SHARP"},
    {103, "SSB SLOPE", 1, 1, 1, "", "STEEP/MEDIUM/GENTLE"},
    {104, "SSB NARROW", 2, 1, 8, "", "200/400/600/850/1100/1350/1500/1650/1800/1950/2100/2250"},
    {105, "FIX 1.8MHz", 5, 10, 1800, "kHz", "1.800MHz - 1.999MHz (1kHz  Steps)"},
    {106, "FIX 3.5MHz", 5, 10, 3500, "kHz", "3.500MHz - 3.999MHz (1kHz  Steps)"},
    {107, "FIX 5.0MHz", 5, 10, 5250, "kHz", "5.250MHz - 5.499MHz (1kHz  Steps)"},
    {108, "FIX 7.0MHz", 5, 10, 7000, "kHz", "7.000MHz - 7.299MHz (1kHz  Steps)"},
    {109, "FIX 10MHz", 5, 10, 10100, "kHz", "10.100MHz - 10.149MHz (1kHz  Steps)"},
    {110, "FIX 14MHz", 5, 10, 14000, "kHz", "14.000MHz - 14.349MHz (1kHz  Steps)"},
    {111, "FIX 18MHz", 5, 10, 18068, "kHz", "18.000MHz - 18.199MHz (1kHz  Steps)"},
    {112, "FIX 21MHz", 5, 10, 21000, "kHz", "21.000MHz - 21.449MHz (1kHz  Steps)"},
    {113, "FIX 24MHz", 5, 10, 24890, "kHz", "24.800MHz - 24.989MHz (1kHz  Steps)"},
    {114, "FIX 28MHz", 5, 10, 28000, "kHz", "28.000MHz - 29.699MHz (1kHz  Steps)"},
    {115, "FIX 50MHz", 5, 10, 50000, "kHz", "50.000MHz - 53.999MHz (1kHz  Steps)"},
    {116, "MAIN DIAL STEP", 1, 1, 0, "", "1/10Hz"},
    {117, "MAIN DIAL CW FINE", 1, 1, 0, "", "DISABLE/ENABLE"},
    {118, "1MHz/100kHz SELECT", 1, 1, 0, "", "1MHz/100kHz"},
    {119, "AM CH STEP", 1, 1, 1, "kHz", "2.5/5/9/10/12.5 (kHz)"},
    {120, "FM CH STEP", 1, 1, 0, "kHz", "5/6.25/10/12.5/25 (kHz)"},
    {121, "FM DIAL STEP", 1, 1, 1, "Hz", "10/100 (Hz)"},
    {122, "MY BAND", 13, 14, 8190, "", "1.8-50/GEN/TRV"},
    {123, "PRMTRC EQ1 FREQ", 2, 31, 0, "", "OFF/100/200/300/400/500/600/700"},
    {124, "PRMTRC EQ1 LEVEL", 3, 25, 5, "", "-20-0-+10"},
    {125, "PRMTRC EQ1 BWTH", 2, 19, 10, "", "1-10"},
    {126, "PRMTRC EQ2 FREQ", 2, 32, 0, "", "OFF/700/800/900/1000/1100/1200/1300/1400/1500"},
    {127, "PRMTRC EQ2 LEVEL", 3, 26, 5, "", "-20-0-+10"},
    {128, "PRMTRC EQ2 BWTH", 2, 20, 10, "", "1-10"},
    {129, "PRMTRC EQ3 FREQ", 2, 33, 0, "", "OFF/1500/1600/1700/1800/1900/2000/2100/2200/2300/2400/2500/2600/2700/2800/2900/3000/3100/3200"},
    {130, "PRMTRC EQ3 LEVEL", 3, 27, 5, "", "-20-0-+10"},
    {131, "PRMTRC EQ3 BWTH", 2, 21, 10, "", "1-10"},
    {132, "P-PRMTRC EQ1 FREQ", 2, 34, 3, "", "OFF/100/200/300/400/500/600/700"},
    {133, "P-PRMTRC EQ1 LEVEL", 3, 28, -6, "", "-20-0-+10"},
    {134, "P-PRMTRC EQ1 BWTH", 2, 22, 2, "", "1-10"},
    {135, "P-PRMTRC EQ2 FREQ", 2, 35, 4, "", "OFF/700/800/900/1000/1100/1200/1300/1400/1500"},
    {136, "P-PRMTRC EQ2 LEVEL", 3, 29, 3, "", "-20-0-+10"},
    {137, "P-PRMTRC EQ2 BWTH", 2, 23, 1, "", "1-10"},
    {138, "P-PRMTRC EQ3 FREQ", 2, 36, 16, "", "OFF/1500/1600/1700/1800/1900/2000/2100/2200/2300/2400/2500/2600/2700/2800/2900/3000/3100/3200"},
    {139, "P-PRMTRC EQ3 LEVEL", 3, 30, -3, "", "-20-0-+10"},
    {140, "P-PRMTRC EQ3 BWTH", 2, 24, 1, "", "1-10"},
    {141, "FINAL BIAS", 4, 18, 0, "", "AB/A(0-100%)"},
    {142, "TX MAX POWER", 1, 1, 3, "", "10(20)/20(50)/50(100)/100(200)"},
    {143, "TX PWR CONTROL", 1, 1, 0, "", "ALL MODE/CARRIER"},
    {144, "EXT AMP TX-GND", 1, 1, 0, "", "DISABLE/ENABLE"},
    {145, "EXT AMP TUNING PWR", 1, 1, 3, "", "10(20)/20(50)/50(100)/100(200)"},
    {146, "VOX SELECT", 1, 1, 0, "", "MIC/DATA"},
    {147, "EMERGENCY FREQ TX", 1, 1, 0, "", "DISABLE/ENABLE"},
};

// Limits of the numbers and of the numeric part of the mixed items, by item range.
// Items not listed have minimum, maximum and step 0.
struct LimitRow {
    int first;
    int last;
    double minimum;
    double maximum;
    double step;
};

constexpr LimitRow kLimits[] = {
    {1, 1, 20, 4000, 20},         {3, 3, 20, 4000, 20},         {5, 5, 20, 4000, 20},
    {2, 2, 0, 2000, 20},          {4, 4, 0, 2000, 20},          {6, 6, 0, 2000, 20},
    {8, 8, 0, 15, 1},             {9, 9, 0, 7, 1},              {13, 13, 30, 0, 2},
    {15, 16, 0, 100, 1},          {26, 26, 0, 100, 1},          {36, 36, 0, 100, 1},
    {40, 40, 0, 100, 1},          {50, 50, 0, 100, 1},          {65, 65, 0, 100, 1},
    {67, 67, 0, 100, 1},          {69, 69, 0, 100, 1},          {72, 72, 0, 100, 1},
    {79, 79, 0, 100, 1},          {141, 141, 0, 100, 1},        {17, 17, 1, 255, 1},
    {19, 19, 0, 9999, 1},         {31, 31, -20, 20, 1},         {34, 34, 30, 49, 1},
    {41, 41, -25, 25, 1},         {42, 49, -1000, 1000, 1},     {60, 60, 25, 45, 0.1},
    {68, 68, 30, 3000, 1},        {70, 71, -3000, 3000, 10},    {74, 74, 0, 1000, 10},
    {75, 75, 0, 4000, 10},        {84, 87, -200, 200, 10},      {90, 90, -40, 20, 1},
    {91, 91, 1, 11, 1},           {105, 105, 1800, 1999, 0.001},
    {106, 106, 3500, 3999, 0.001},   {107, 107, 5250, 5499, 0.001},
    {108, 108, 7000, 7299, 0.001},   {109, 109, 10100, 10149, 0.001},
    {110, 110, 14000, 14349, 0.001}, {111, 111, 18000, 18199, 0.001},
    {112, 112, 21000, 21449, 0.001}, {113, 113, 24800, 24989, 0.001},
    {114, 114, 28000, 29699, 0.001}, {115, 115, 50000, 53999, 0.001},
    {124, 124, -20, 10, 1},       {127, 127, -20, 10, 1},       {130, 130, -20, 10, 1},
    {133, 133, -20, 10, 1},       {136, 136, -20, 10, 1},       {139, 139, -20, 10, 1},
    {125, 125, 1, 10, 1},         {128, 128, 1, 10, 1},         {131, 131, 1, 10, 1},
    {134, 134, 1, 10, 1},         {137, 137, 1, 10, 1},         {140, 140, 1, 10, 1},
};

// Items whose choice texts are not the parts of their range text; "/" separates
// the choices.
struct ChoiceRow {
    int number;
    std::string_view choices;
};

constexpr ChoiceRow kChoiceOverrides[] = {
    {10, "CLAR/CW TUNE/VRF uTune"},
    {11, "OFF/0.5sec/1.0sec/2.0sec"},
    {17, "OFF"},
    {33, "OFF/5min/10min/15min/20min/25min/30min"},
    {36, "VFO-A"},
    {37, "1200Hz/500Hz/300Hz"},
    {50, "MCVR/FIX"},
    {72, "MCVR/FIX"},
    {83, "50-3000/100-2900/200-2800/300-2700/400-2600/3000"},
    {116, "1Hz/10Hz"},
    {122, "1.8/3.5/5/7/10/14/18/21/24/28/50/GEN/TRV"},
    {141, "AB"},
};

// Unit suffixes removed from the end of a range text before it is split into
// choices, tried in this order.
constexpr std::string_view kUnitSuffixes[] = {" (sec)", " (min)", " (Hz)", " (kHz)", "(bps)", "(msec)"};

// Format codes whose choice texts come from the range text.
constexpr bool takesChoicesFromRange(int formatCode) {
    return formatCode == 1 || formatCode == 12 || (formatCode >= 31 && formatCode <= 36);
}

constexpr std::string_view withoutUnitSuffix(std::string_view text) {
    for (std::string_view suffix : kUnitSuffixes) {
        if (text.ends_with(suffix)) return text.substr(0, text.size() - suffix.size());
    }
    return text;
}

// The "/"-separated choice list of a row; empty for an item without choices.
constexpr std::string_view choiceList(const MenuRow& row) {
    for (const ChoiceRow& entry : kChoiceOverrides) {
        if (entry.number == row.number) return entry.choices;
    }
    return takesChoicesFromRange(row.formatCode) ? withoutUnitSuffix(row.rangeText) : std::string_view{};
}

// Calls visit(choice) for each part of a "/"-separated list; returns the count.
template <class Visit>
constexpr int forEachChoice(std::string_view list, Visit visit) {
    if (list.empty()) return 0;
    int count = 0;
    for (;;) {
        const std::size_t slash = list.find('/');
        visit(list.substr(0, slash));
        ++count;
        if (slash == std::string_view::npos) return count;
        list.remove_prefix(slash + 1);
    }
}

constexpr const LimitRow* findLimits(int number) {
    for (const LimitRow& limits : kLimits) {
        if (number >= limits.first && number <= limits.last) return &limits;
    }
    return nullptr;
}

// Every row fits the fixed fields of MenuItemRecord and sits in the slot of its number.
constexpr bool rowsFitTheRecord() {
    constexpr auto maxChoices = std::extent_v<decltype(MenuItemRecord::choices), 0>;
    constexpr auto choiceSize = std::extent_v<decltype(MenuItemRecord::choices), 1>;
    int expected = 1;
    for (const MenuRow& row : kRows) {
        if (row.number != expected++) return false;
        if (row.name.size() >= sizeof(MenuItemRecord::name)) return false;
        if (row.rangeText.size() >= sizeof(MenuItemRecord::rangeText)) return false;
        if (row.unit.size() >= sizeof(MenuItemRecord::unit)) return false;
        bool fits = true;
        const int count = forEachChoice(choiceList(row), [&](std::string_view choice) {
            fits = fits && !choice.empty() && choice.size() < choiceSize;
        });
        if (!fits || count > static_cast<int>(maxChoices)) return false;
    }
    return expected == kDefaultMenuItemCount + 1;
}

static_assert(rowsFitTheRecord(), "the built-in menu list does not fit MenuItemRecord");

template <std::size_t N>
void copyText(char (&dest)[N], std::string_view text) {
    std::memcpy(dest, text.data(), std::min(text.size(), N - 1));
}

}  // namespace

bool defaultMenuItem(int n, MenuItemRecord& out) {
    if (n < 1 || n > kDefaultMenuItemCount) return false;
    const MenuRow& row = kRows[n - 1];
    std::memset(&out, 0, sizeof out);
    out.number = row.number;
    copyText(out.name, row.name);
    copyText(out.rangeText, row.rangeText);
    out.value = row.value;
    out.parameterLength = row.parameterLength;
    out.hasUnit = row.unit.empty() ? 0 : 1;
    copyText(out.unit, row.unit);
    out.formatCode = row.formatCode;
    if (const LimitRow* limits = findLimits(n)) {
        out.minimum = limits->minimum;
        out.maximum = limits->maximum;
        out.step = limits->step;
    }
    out.choiceCount = forEachChoice(choiceList(row), [&out, index = 0](std::string_view choice) mutable {
        copyText(out.choices[index++], choice);
    });
    return true;
}

}  // namespace tqm
