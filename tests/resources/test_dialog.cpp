// The dialog template "FILTERDIALOG", the string table and the manifest of
// every Windows module, read back from the compiled file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/resources/modules.h"

using namespace peres;
using namespace restest;

namespace {

enum ItemClass { kButton, kEdit, kStatic, kTrackbar };

// Item styles by their key in the layout table.
constexpr uint32_t S1 = 0x50014001, S2 = 0x50014000, S3 = 0x50010000, S4 = 0x50010003, S5 = 0x50010103,
                   S6 = 0x50000100, S7 = 0x50810080, S8 = 0x50010014, S9 = 0x50010018, S10 = 0x40020001,
                   S11 = 0x40000000, S12 = 0x50000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;

struct ExpectedItem {
    uint32_t id;
    ItemClass cls;
    uint32_t style;
    int16_t x, y, cx, cy;
    const char* text;
};

const std::vector<ExpectedItem> kHalvaneItems = {
    {1, kButton, S1, 15, 6, 34, 14, "&OK"},
    {2, kButton, S2, 55, 6, 34, 14, "&Cancel"},
    {501, kButton, S3, 95, 6, 112, 14, "Rese&t Noise Reduction Settings"},
    {12, kButton, S2, 258, 6, 42, 14, "&Reset All"},
    {907, kButton, S3, 372, 6, 73, 14, "Select noise manually"},
    {503, kButton, S3, 15, 26, 71, 14, "Profile &Digital Image"},
    {502, kButton, S5, 88, 29, 127, 10, "Profile image (digital) when UI loads"},
    {505, kButton, S3, 15, 43, 71, 14, "Profile &Film Image"},
    {504, kButton, S5, 88, 45, 119, 10, "Profile image (film) when UI loads"},
    {506, kButton, S4, 220, 37, 59, 10, "Always profile"},
    {931, kButton, S4, 205, 61, 91, 10, "Show Advanced Controls"},
    {20, kStatic, S6, 15, 76, 166, 8, "Overall noise level (removes speckles but also detail)"},
    {22, kEdit, S7, 264, 73, 32, 13, ""},
    {21, kTrackbar, S8, 15, 87, 281, 18, ""},
    {30, kStatic, S6, 15, 108, 67, 8, "Highlights noise level"},
    {31, kTrackbar, S9, 107, 108, 152, 11, ""},
    {32, kEdit, S7, 264, 107, 32, 13, ""},
    {40, kStatic, S6, 27, 127, 64, 8, "Very fine noise level"},
    {41, kTrackbar, S9, 107, 127, 152, 11, ""},
    {42, kEdit, S7, 264, 126, 32, 13, ""},
    {50, kStatic, S6, 27, 145, 50, 8, "Fine noise level"},
    {51, kTrackbar, S9, 107, 146, 152, 11, ""},
    {52, kEdit, S7, 264, 145, 32, 13, ""},
    {60, kStatic, S6, 27, 164, 55, 8, "Broad noise level"},
    {61, kTrackbar, S9, 107, 164, 152, 11, ""},
    {62, kEdit, S7, 264, 164, 32, 13, ""},
    {70, kStatic, S6, 27, 183, 70, 8, "Very broad noise level"},
    {71, kTrackbar, S9, 107, 183, 152, 11, ""},
    {72, kEdit, S7, 264, 183, 32, 13, ""},
    {80, kStatic, S6, 15, 204, 80, 8, "Mix in original B&&W detail"},
    {81, kTrackbar, S9, 107, 199, 152, 17, ""},
    {82, kEdit, S7, 264, 201, 32, 13, ""},
    {90, kStatic, S6, 15, 223, 79, 8, "Mix in original color detail"},
    {91, kTrackbar, S9, 107, 222, 152, 11, ""},
    {92, kEdit, S7, 264, 220, 32, 13, ""},
    {100, kStatic, S6, 27, 244, 60, 8, "Very fine detail NR"},
    {101, kTrackbar, S9, 107, 241, 152, 11, ""},
    {102, kEdit, S7, 264, 239, 32, 13, ""},
    {110, kStatic, S6, 27, 263, 46, 8, "Fine detail NR"},
    {111, kTrackbar, S9, 107, 260, 152, 11, ""},
    {112, kEdit, S7, 264, 259, 32, 13, ""},
    {120, kStatic, S6, 27, 282, 51, 8, "Broad detail NR"},
    {121, kTrackbar, S9, 107, 279, 152, 11, ""},
    {122, kEdit, S7, 264, 278, 32, 13, ""},
    {130, kStatic, S6, 27, 300, 66, 8, "Very broad detail NR"},
    {131, kTrackbar, S9, 107, 298, 152, 11, ""},
    {132, kEdit, S7, 264, 298, 32, 13, ""},
    {140, kStatic, S6, 15, 320, 90, 8, "Sharpening (B&&W detail)"},
    {141, kTrackbar, S9, 107, 315, 152, 17, ""},
    {142, kEdit, S7, 264, 318, 32, 13, ""},
    {210, kStatic, S6, 15, 340, 76, 8, "Sharpening (color detail)"},
    {211, kTrackbar, S9, 107, 335, 152, 17, ""},
    {212, kEdit, S7, 264, 338, 32, 13, ""},
    {150, kStatic, S6, 27, 360, 65, 8, "Very fine sharpening"},
    {151, kTrackbar, S9, 107, 358, 152, 11, ""},
    {152, kEdit, S7, 264, 358, 32, 13, ""},
    {160, kStatic, S6, 27, 380, 51, 8, "Fine sharpening"},
    {161, kTrackbar, S9, 107, 378, 152, 11, ""},
    {162, kEdit, S7, 264, 378, 32, 13, ""},
    {170, kStatic, S6, 27, 400, 56, 8, "Broad sharpening"},
    {171, kTrackbar, S9, 107, 398, 152, 11, ""},
    {172, kEdit, S7, 264, 398, 32, 13, ""},
    {180, kStatic, S6, 27, 420, 72, 8, "Very broad sharpening"},
    {181, kTrackbar, S9, 107, 418, 152, 11, ""},
    {182, kEdit, S7, 264, 418, 32, 13, ""},
    {190, kStatic, S6, 15, 449, 88, 8, "Highlight protect threshold"},
    {191, kTrackbar, S9, 107, 448, 152, 11, ""},
    {192, kEdit, S7, 264, 448, 32, 13, ""},
    {200, kStatic, S6, 15, 470, 88, 8, "Highlight protect feather"},
    {201, kTrackbar, S9, 107, 468, 152, 11, ""},
    {202, kEdit, S7, 264, 468, 32, 13, ""},
    {903, kButton, S3, 447, 6, 50, 14, "&Save Settings"},
    {904, kButton, S3, 499, 6, 50, 14, "&Load Settings"},
    {24, kButton, S4, 296, 3, 50, 10, "&Despeckle"},
    {34, kButton, S4, 338, 229, 133, 10, "&Preview without original detail mixed in"},
    {901, kButton, S4, 475, 229, 59, 10, "Show Origi&nal"},
    {914, kButton, S3, 353, 242, 50, 14, "&100% Zoom"},
    {915, kButton, S3, 411, 242, 50, 14, "&200% Zoom"},
    {917, kButton, S3, 467, 242, 50, 14, "&400% Zoom"},
    {913, kStatic, S10, 310, 32, 239, 190, ""},
    {900, kStatic, S10, 310, 269, 239, 214, ""},
    {44, kButton, S4, 156, 434, 140, 10, "Protect shadows instead of highlights (&A)"},
    {932, kStatic, S11, 16, 367, 281, 11, "Instructions: "},
    {933, kStatic, S11, 16, 383, 219, 8, "[1] Click the profile image button.  Digital for dSLRs, film for film scans."},
    {934, kStatic, S11, 16, 396, 287, 20, "[2] Adjust the \"Overall noise level\" slider lower to retain more detail.  When speckles of noise appear, back off and adjust the setting higher."},
    {935, kStatic, S11, 16, 421, 233, 8, "[3] Adjust the \"Mix in original B&&W detail\" slider according to your tastes. "},
    {936, kStatic, S11, 16, 434, 95, 8, "[4] Adjust sharpening settings."},
    {937, kStatic, S11, 16, 447, 187, 8, "For the advanced controls, read the manual for instructions."},
    {507, kButton, S4, 15, 61, 182, 10, "Cleaner smooth areas (slower; effect is very subtle)"},
};

const std::vector<ExpectedItem> kGlimraItems = {
    {1, kButton, S1, 15, 6, 34, 14, "&OK"},
    {2, kButton, S2, 55, 6, 34, 14, "&Cancel"},
    {12, kButton, S2, 258, 6, 42, 14, "&Reset All"},
    {503, kButton, S3, 15, 26, 71, 14, "Profile &Digital Image"},
    {502, kButton, S5, 88, 29, 127, 10, "Profile image (digital) when UI loads"},
    {505, kButton, S3, 15, 46, 71, 14, "Profile &Film Image"},
    {504, kButton, S5, 88, 48, 119, 10, "Profile image (film) when UI loads"},
    {506, kButton, S4, 220, 38, 59, 10, "Always profile"},
    {931, kButton, S4, 205, 60, 91, 10, "Show Advanced Controls"},
    {20, kStatic, S6, 15, 76, 115, 8, "Noise Reduction: Overall noise level"},
    {22, kEdit, S7, 264, 73, 32, 13, ""},
    {21, kTrackbar, S8, 15, 87, 281, 18, ""},
    {30, kStatic, S6, 15, 108, 67, 8, "Highlights noise level"},
    {31, kTrackbar, S9, 107, 108, 152, 11, ""},
    {32, kEdit, S7, 264, 107, 32, 13, ""},
    {140, kStatic, S6, 15, 320, 90, 8, "Low Threshold"},
    {141, kTrackbar, S9, 107, 315, 152, 17, ""},
    {142, kEdit, S7, 264, 318, 32, 13, ""},
    {210, kStatic, S6, 15, 340, 76, 8, "High Threshold"},
    {211, kTrackbar, S9, 107, 335, 152, 17, ""},
    {212, kEdit, S7, 264, 338, 32, 13, ""},
    {903, kButton, S3, 447, 6, 50, 14, "&Save Settings"},
    {904, kButton, S3, 499, 6, 50, 14, "&Load Settings"},
    {901, kButton, S4, 437, 229, 59, 10, "Show Origi&nal"},
    {914, kButton, S3, 353, 242, 50, 14, "&100% Zoom"},
    {915, kButton, S3, 411, 242, 50, 14, "&200% Zoom"},
    {917, kButton, S3, 467, 242, 50, 14, "&400% Zoom"},
    {913, kStatic, S10, 310, 32, 239, 190, ""},
    {900, kStatic, S10, 310, 269, 239, 214, ""},
    {34, kButton, S4, 389, 229, 34, 10, "&Invert"},
    {3001, kStatic, S12, 16, 367, 281, 11, "Instructions: "},
    {3002, kStatic, S12, 16, 383, 284, 8, "[1] Adjust low threshold until smooth areas disappear.  Detail areas can be recovered later."},
    {3003, kStatic, S12, 15, 396, 287, 20, "[2] Adjust high threshold to control the rolloff/transition between smooth areas and detail areas."},
    {3004, kStatic, S12, 16, 418, 280, 21, "[3] For a more accurate matte, click ok and edit the resulting matte with the brush (B) and quick selection (W) tools in Photoshop."},
    {3005, kStatic, S12, 15, 439, 188, 8, "For the advanced controls, read the manual for instructions."},
    {306, kStatic, S11, 15, 452, 187, 8, ""},
};

const std::vector<ExpectedItem>& expectedItems(const Module& m) {
    return std::string(m.product) == "halvane" ? kHalvaneItems : kGlimraItems;
}

std::string className(const SzOrOrd& c) {
    if (!c.isOrdinal) return c.text;
    switch (c.ordinal) {
        case 0x80: return "BUTTON";
        case 0x81: return "EDIT";
        case 0x82: return "STATIC";
        default: return "ordinal " + std::to_string(c.ordinal);
    }
}

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

// Predefined classes by ordinal; the trackbar by its name, which the
// window manager compares without regard to case.
void expectClass(const SzOrOrd& actual, ItemClass expected) {
    switch (expected) {
        case kButton: EXPECT_TRUE(actual.isOrdinal && actual.ordinal == 0x80) << className(actual); break;
        case kEdit: EXPECT_TRUE(actual.isOrdinal && actual.ordinal == 0x81) << className(actual); break;
        case kStatic: EXPECT_TRUE(actual.isOrdinal && actual.ordinal == 0x82) << className(actual); break;
        case kTrackbar:
            EXPECT_FALSE(actual.isOrdinal);
            EXPECT_EQ(upper(actual.text), "MSCTLS_TRACKBAR32");
            break;
    }
}

class FilterDialog : public ::testing::TestWithParam<Module> {
protected:
    void SetUp() override {
        std::string why;
        path_ = modulePath(GetParam(), &why);
        if (path_.empty()) GTEST_SKIP() << why;
        image_ = &loadModule(path_);
        const Resource* r = findResource(*image_, ResourceId::of(kResourceTypeDialog), ResourceId::of("FILTERDIALOG"), kLanguage);
        ASSERT_NE(r, nullptr) << path_ << " has no dialog \"FILTERDIALOG\" in language 1033";
        dialog_ = decodeDialogEx(r->data);
    }
    const DialogItem* item(uint32_t id) const {
        for (const DialogItem& i : dialog_.items)
            if (i.id == id) return &i;
        return nullptr;
    }
    bool halvane() const { return std::string(GetParam().product) == "halvane"; }

    std::string path_;
    const PeImage* image_ = nullptr;
    DialogTemplateEx dialog_;
};

TEST_P(FilterDialog, TemplateHeader) {
    EXPECT_EQ(dialog_.helpId, 0u);
    EXPECT_EQ(dialog_.exStyle, 0u);
    EXPECT_EQ(dialog_.style, 0x80C40040u) << "popup, caption, thick frame, set font; no system menu";
    EXPECT_EQ(dialog_.style & 0x00080000u, 0u) << "WS_SYSMENU";
    EXPECT_EQ(dialog_.itemCount, halvane() ? 89 : 36);
    EXPECT_EQ(dialog_.x, 34);
    EXPECT_EQ(dialog_.y, 40);
    EXPECT_EQ(dialog_.cx, 564);
    EXPECT_EQ(dialog_.cy, 498);
    EXPECT_TRUE(!dialog_.menu.isOrdinal && dialog_.menu.text.empty()) << "no menu";
    EXPECT_TRUE(!dialog_.windowClass.isOrdinal && dialog_.windowClass.text.empty()) << "default dialog class";
    EXPECT_EQ(dialog_.title, "Vexlor");
    ASSERT_TRUE(dialog_.hasFont);
    EXPECT_EQ(dialog_.pointSize, 8);
    EXPECT_EQ(dialog_.weight, 0);
    EXPECT_EQ(dialog_.italic, 0);
    EXPECT_EQ(dialog_.charset, 0);
    EXPECT_EQ(dialog_.typeface, "MS Sans Serif");
    EXPECT_LT(dialog_.bytesAfterLast, 4u);
}

TEST_P(FilterDialog, ItemsFollowTheLayoutTableInTabOrder) {
    const auto& expected = expectedItems(GetParam());
    ASSERT_EQ(dialog_.items.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const DialogItem& a = dialog_.items[i];
        const ExpectedItem& e = expected[i];
        SCOPED_TRACE("item " + std::to_string(i) + ", id " + std::to_string(e.id));
        EXPECT_EQ(a.id, e.id);
        expectClass(a.windowClass, e.cls);
        EXPECT_EQ(a.style, e.style);
        EXPECT_EQ(a.x, e.x);
        EXPECT_EQ(a.y, e.y);
        EXPECT_EQ(a.cx, e.cx);
        EXPECT_EQ(a.cy, e.cy);
        EXPECT_FALSE(a.title.isOrdinal);
        EXPECT_EQ(a.title.text, e.text);
        EXPECT_EQ(a.exStyle, 0u);
        EXPECT_EQ(a.helpId, 0u);
        EXPECT_TRUE(a.creationData.empty());
    }
}

// Against the dialog code's control tables: every parameter with a control
// has its label, slider and edit box at 10(i+2), +1, +2, of the right kinds;
// parameter 20 has none; every flag's check box is an automatic check box.
TEST_P(FilterDialog, ControlIdsMatchTheControlTables) {
    std::set<uint32_t> ids;
    for (const DialogItem& i : dialog_.items) EXPECT_TRUE(ids.insert(i.id).second) << "id " << i.id << " twice";

    const std::vector<int> withControls =
        halvane() ? std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}
                  : std::vector<int>{0, 1, 12, 19};
    for (int p = 0; p <= 20; ++p) {
        SCOPED_TRACE("parameter " + std::to_string(p));
        const uint32_t slider = uint32_t(10 * (p + 2) + 1);
        const DialogItem* label = item(slider - 1);
        const DialogItem* track = item(slider);
        const DialogItem* edit = item(slider + 1);
        if (std::find(withControls.begin(), withControls.end(), p) == withControls.end()) {
            EXPECT_EQ(label, nullptr);
            EXPECT_EQ(track, nullptr);
            EXPECT_EQ(edit, nullptr);
            continue;
        }
        ASSERT_NE(label, nullptr);
        ASSERT_NE(track, nullptr);
        ASSERT_NE(edit, nullptr);
        expectClass(label->windowClass, kStatic);
        EXPECT_TRUE(label->style & 0x0100) << "a label notifies, so a double click restores its default";
        expectClass(track->windowClass, kTrackbar);
        expectClass(edit->windowClass, kEdit);
    }

    const std::vector<uint32_t> boxes = halvane() ? std::vector<uint32_t>{24, 34, 502, 504, 44, 506, 507}
                                                  : std::vector<uint32_t>{34, 502, 504, 506};
    for (uint32_t id : boxes) {
        SCOPED_TRACE("check box " + std::to_string(id));
        const DialogItem* box = item(id);
        ASSERT_NE(box, nullptr);
        expectClass(box->windowClass, kButton);
        EXPECT_EQ(box->style & 0x0F, 0x03u) << "BS_AUTOCHECKBOX";
    }
    if (!halvane()) {
        for (uint32_t id : {24u, 44u, 507u, 501u, 907u}) EXPECT_EQ(item(id), nullptr) << id;
    }
    ASSERT_NE(item(1), nullptr);
    EXPECT_EQ(item(1)->style & 0x0F, 0x01u) << "OK is the default push button";
}

TEST_P(FilterDialog, HiddenItemsAreHiddenByTheirStyle) {
    std::set<uint32_t> hidden = {900, 913};
    if (halvane())
        for (uint32_t id = 932; id <= 937; ++id) hidden.insert(id);
    else
        hidden.insert(306);
    for (const DialogItem& i : dialog_.items) {
        SCOPED_TRACE("id " + std::to_string(i.id));
        EXPECT_EQ((i.style & WS_VISIBLE) == 0, hidden.count(i.id) == 1);
        EXPECT_TRUE(i.style & 0x40000000) << "WS_CHILD";
    }
}

TEST_P(FilterDialog, StringTable) {
    const auto strings = stringTable(*image_, kLanguage);
    const std::string title = productSourceString(productOf(GetParam()), "kProductTitle");
    ASSERT_FALSE(title.empty());
    std::map<uint32_t, std::string> utf8;
    for (const auto& s : strings) utf8[s.first] = utf16ToUtf8(s.second);
    const std::set<uint32_t> expectedIds = {16000, 16002, 16990, 16991, 16992, 16993, 16994};
    std::set<uint32_t> ids;
    for (const auto& s : utf8) ids.insert(s.first);
    EXPECT_EQ(ids, expectedIds);

    EXPECT_EQ(utf8[16990], "An integer is required between ^1 and ^2.");
    EXPECT_EQ(utf8[16991], "A decimal number is required between ^1 and ^2.");
    EXPECT_EQ(utf8[16992], "This plug-in requires Adobe Photoshop\u00AE ^1 or later functionality.");
    EXPECT_EQ(utf8[16993], "This plug-in is incompatible with this version of the host program.");
    EXPECT_EQ(utf8[16994], "the required suite '^0' is unavailable");

    const std::string about = utf8[16000];
    EXPECT_EQ(about.rfind(title + "\n\nVersion CS3 Release 1 (02/14/2007)\n", 0), 0u) << about;
    const std::size_t lastBreak = about.rfind("\n\n");
    ASSERT_NE(lastBreak, std::string::npos);
    EXPECT_GT(about.size(), lastBreak + 2) << "the maker's name follows the last two line breaks";
    std::string escaped;
    for (char c : about) escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    EXPECT_EQ(utf8[16002], escaped + "\\n\\n\\n\\n");
}

TEST_P(FilterDialog, ManifestIsAnEmptyAssembly) {
    const Resource* r = findResource(*image_, ResourceId::of(kResourceTypeManifest), ResourceId::of(2), kLanguage);
    ASSERT_NE(r, nullptr) << "no manifest 24/2 in language 1033";
    const std::string text(r->data.begin(), r->data.end());
    const std::size_t open = text.find("<assembly ");
    ASSERT_NE(open, std::string::npos) << text;
    EXPECT_NE(text.find("xmlns=\"urn:schemas-microsoft-com:asm.v1\"", open), std::string::npos);
    EXPECT_NE(text.find("manifestVersion=\"1.0\"", open), std::string::npos);
    const std::size_t openEnd = text.find('>', open);
    const std::size_t close = text.find("</assembly>", open);
    ASSERT_NE(openEnd, std::string::npos);
    ASSERT_NE(close, std::string::npos);
    const std::string inside = text.substr(openEnd + 1, close - openEnd - 1);
    EXPECT_TRUE(std::all_of(inside.begin(), inside.end(), [](unsigned char c) { return std::isspace(c); }))
        << "assembly has content: " << inside;
}

TEST_P(FilterDialog, EveryResourceIsInUsEnglish) {
    for (const Resource& r : image_->resources)
        EXPECT_EQ(r.language, kLanguage) << r.type.describe() << "/" << r.name.describe();
}

INSTANTIATE_TEST_SUITE_P(Modules, FilterDialog, ::testing::ValuesIn(allModules()),
                         [](const auto& info) { return moduleName(info.param); });

}  // namespace
