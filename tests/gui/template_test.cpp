// The dialog templates as compiled into the program, read back from the
// module's resources and compared field by field with the window's layout.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "resource.h"

namespace {

// Reads the little-endian fields of a compiled dialog template.
struct TemplateCursor {
    const BYTE* data;
    size_t size;
    size_t pos;
    bool ok;
};

WORD TakeWord(TemplateCursor* c)
{
    if (c->pos + 2 > c->size) {
        c->ok = false;
        return 0;
    }
    WORD value = (WORD)(c->data[c->pos] | (c->data[c->pos + 1] << 8));
    c->pos += 2;
    return value;
}

DWORD TakeDword(TemplateCursor* c)
{
    DWORD low = TakeWord(c);
    DWORD high = TakeWord(c);
    return low | (high << 16);
}

void AlignDword(TemplateCursor* c)
{
    c->pos = (c->pos + 3) & ~(size_t)3;
}

// A name-or-ordinal field: "" for none, "#N" for an ordinal, else the text.
std::string TakeNameOrOrdinal(TemplateCursor* c)
{
    WORD first = TakeWord(c);
    if (first == 0) {
        return "";
    }
    if (first == 0xFFFF) {
        return "#" + std::to_string(TakeWord(c));
    }
    std::string text(1, (char)first);
    for (WORD ch = TakeWord(c); c->ok && ch != 0; ch = TakeWord(c)) {
        text += ch < 0x80 ? (char)ch : '?';
    }
    return text;
}

// The predefined window classes appear as atoms in a template.
std::string ClassName(const std::string& raw)
{
    static const char* const atoms[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR",
                                        "COMBOBOX"};
    if (raw.size() > 1 && raw[0] == '#') {
        int atom = std::stoi(raw.substr(1));
        if (atom >= 0x80 && atom <= 0x85) {
            return atoms[atom - 0x80];
        }
    }
    std::string upper = raw;
    for (char& ch : upper) {
        ch = (char)toupper((unsigned char)ch);
    }
    return upper;
}

struct ItemTemplate {
    DWORD id;
    std::string className;
    std::string text;
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

struct DialogTemplate {
    bool extended;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::string menu;
    std::string className;
    std::string caption;
    WORD pointSize;
    std::string typeface;
    std::vector<ItemTemplate> items;
    bool ok;
};

DialogTemplate ReadDialogTemplate(int id)
{
    DialogTemplate t = {};
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG);
    if (found == NULL) {
        return t;
    }
    TemplateCursor c = {(const BYTE*)LockResource(LoadResource(module, found)),
                        (size_t)SizeofResource(module, found), 0, true};
    if (c.data == NULL) {
        return t;
    }
    WORD count = 0;
    if (c.size >= 4 && c.data[0] == 1 && c.data[1] == 0 && c.data[2] == 0xFF &&
        c.data[3] == 0xFF) {
        t.extended = true;
        TakeDword(&c);  // version and signature
        TakeDword(&c);  // help id
        t.exStyle = TakeDword(&c);
        t.style = TakeDword(&c);
    } else {
        t.style = TakeDword(&c);
        t.exStyle = TakeDword(&c);
    }
    count = TakeWord(&c);
    t.x = (short)TakeWord(&c);
    t.y = (short)TakeWord(&c);
    t.cx = (short)TakeWord(&c);
    t.cy = (short)TakeWord(&c);
    t.menu = TakeNameOrOrdinal(&c);
    t.className = TakeNameOrOrdinal(&c);
    t.caption = TakeNameOrOrdinal(&c);
    if (t.style & DS_SETFONT) {
        t.pointSize = TakeWord(&c);
        if (t.extended) {
            TakeWord(&c);  // weight
            TakeWord(&c);  // italic, charset
        }
        t.typeface = TakeNameOrOrdinal(&c);
    }
    for (WORD i = 0; i < count && c.ok; ++i) {
        AlignDword(&c);
        ItemTemplate item = {};
        if (t.extended) {
            TakeDword(&c);  // help id
            item.exStyle = TakeDword(&c);
            item.style = TakeDword(&c);
        } else {
            item.style = TakeDword(&c);
            item.exStyle = TakeDword(&c);
        }
        item.x = (short)TakeWord(&c);
        item.y = (short)TakeWord(&c);
        item.cx = (short)TakeWord(&c);
        item.cy = (short)TakeWord(&c);
        item.id = t.extended ? TakeDword(&c) : TakeWord(&c);
        item.className = ClassName(TakeNameOrOrdinal(&c));
        item.text = TakeNameOrOrdinal(&c);
        WORD extra = TakeWord(&c);
        c.pos += extra;
        t.items.push_back(item);
    }
    t.ok = c.ok && t.items.size() == count;
    return t;
}

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
constexpr DWORD NO_ID_EX = 0xFFFFFFFF;  // -1 in an extended template
constexpr DWORD NO_ID = 0xFFFF;         // -1 in a plain template

struct ExpectedItem {
    DWORD id;
    const char* className;
    const char* text;
    short x, y, cx, cy;
    DWORD style;
};

const ExpectedItem MAIN_ITEMS[] = {
    {IDC_PATH, "EDIT", "", 6, 78, 158, 16,
     CHILD | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_WANTRETURN},
    {IDC_OPEN, "BUTTON", "ALi Box Firm", 169, 78, 49, 16, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_CPU, "STATIC", "", 6, 116, 66, 12,
     CHILD | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | WS_GROUP},
    {IDC_BLOCKS, "COMBOBOX", "", 150, 116, 66, 45, CHILD | CBS_DROPDOWNLIST | WS_VSCROLL},
    {NO_ID_EX, "STATIC", "Version", 6, 134, 28, 12, CHILD | SS_LEFT | SS_CENTERIMAGE | WS_GROUP},
    {NO_ID_EX, "STATIC", "Date", 6, 150, 28, 12, CHILD | SS_LEFT | WS_GROUP},
    {IDC_SIZE, "STATIC", "", 79, 116, 66, 12,
     CHILD | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | WS_GROUP},
    {IDC_VERSION, "STATIC", "", 38, 134, 120, 12, CHILD | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN},
    {IDC_DATE, "STATIC", "", 38, 150, 120, 12,
     CHILD | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | WS_GROUP},
    {NO_ID_EX, "BUTTON", "File Path", 2, 68, 220, 33, CHILD | BS_GROUPBOX},
    {NO_ID_EX, "BUTTON", "File Info", 2, 97, 219, 72, CHILD | BS_GROUPBOX},
    {NO_ID_EX, "STATIC", "CPU Info", 22, 106, 30, 8, CHILD | SS_CENTER | SS_CENTERIMAGE | WS_GROUP},
    {NO_ID_EX, "STATIC", "File Size", 92, 106, 30, 8,
     CHILD | SS_CENTER | SS_CENTERIMAGE | WS_GROUP},
    {NO_ID_EX, "STATIC", "Type Info", 164, 106, 30, 8,
     CHILD | SS_CENTER | SS_CENTERIMAGE | WS_GROUP},
    {NO_ID_EX, "BUTTON", "", 2, 0, 222, 200, CHILD | BS_GROUPBOX | BS_CENTER},
    {IDC_EXIT, "BUTTON", "Exit", 155, 171, 62, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_ABOUT, "BUTTON", "About", 6, 172, 62, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_SAVE, "BUTTON", "Save", 166, 135, 48, 30,
     CHILD | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED},
    {IDC_CLOCK, "STATIC", "KORVANTA", 79, 172, 57, 14,
     CHILD | SS_CENTER | SS_CENTERIMAGE | WS_GROUP},
    {1014, "STATIC", "www.korvanta.example", 44, 187, 139, 12,
     CHILD | SS_CENTER | SS_CENTERIMAGE | WS_GROUP},
};

const ExpectedItem ABOUT_ITEMS[] = {
    {IDOK, "BUTTON", "OK", 67, 98, 67, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP},
    {IDC_ABOUT_LINK, "STATIC", "www.korvanta.example", 21, 73, 160, 12,
     CHILD | SS_CENTER | SS_CENTERIMAGE | WS_GROUP},
    {NO_ID, "STATIC", "Korvanta", 44, 86, 114, 12, CHILD | SS_CENTER | SS_CENTERIMAGE | WS_GROUP},
    {NO_ID, "STATIC", "#105", 6, 6, 189, 58, CHILD | SS_BITMAP},
};

void ExpectItems(const DialogTemplate& t, const ExpectedItem* expected, size_t count)
{
    ASSERT_EQ(t.items.size(), count);
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE("control #" + std::to_string(i + 1) + " \"" + expected[i].text + "\"");
        const ItemTemplate& item = t.items[i];
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_EQ(item.className, expected[i].className);
        EXPECT_EQ(item.text, expected[i].text);
        EXPECT_EQ(item.x, expected[i].x);
        EXPECT_EQ(item.y, expected[i].y);
        EXPECT_EQ(item.cx, expected[i].cx);
        EXPECT_EQ(item.cy, expected[i].cy);
        EXPECT_EQ(item.style, expected[i].style) << std::hex << item.style << " vs "
                                                 << expected[i].style;
        EXPECT_EQ(item.exStyle, 0u);
    }
}

constexpr DWORD DIALOG_STYLE = 0x90C808C0;
static_assert(DIALOG_STYLE == (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                               DS_CENTER | DS_SETFONT),
              "the windows' style");

TEST(DialogTemplate, MainWindowIsTheExtendedTemplateOfTheLayout)
{
    DialogTemplate t = ReadDialogTemplate(IDD_MAIN);
    ASSERT_TRUE(t.ok);
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.style, DIALOG_STYLE);
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.cx, 227);
    EXPECT_EQ(t.cy, 203);
    EXPECT_EQ(t.menu, "");
    EXPECT_EQ(t.className, "");
    EXPECT_EQ(t.caption, "Korvanta");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.typeface, "MS Sans Serif");
    ExpectItems(t, MAIN_ITEMS, sizeof MAIN_ITEMS / sizeof MAIN_ITEMS[0]);
}

TEST(DialogTemplate, NoControlButTheFrameReachesIntoTheBannerArea)
{
    DialogTemplate t = ReadDialogTemplate(IDD_MAIN);
    ASSERT_TRUE(t.ok);
    for (const ItemTemplate& item : t.items) {
        bool frame = item.x == 2 && item.y == 0;
        EXPECT_TRUE(frame || item.y >= 68) << item.text << " at y " << item.y;
    }
}

TEST(DialogTemplate, AboutBoxIsThePlainTemplateOfTheLayout)
{
    DialogTemplate t = ReadDialogTemplate(IDD_ABOUT);
    ASSERT_TRUE(t.ok);
    EXPECT_FALSE(t.extended);
    EXPECT_EQ(t.style, DIALOG_STYLE);
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.cx, 197);
    EXPECT_EQ(t.cy, 118);
    EXPECT_EQ(t.caption, "About");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.typeface, "MS Sans Serif");
    ExpectItems(t, ABOUT_ITEMS, sizeof ABOUT_ITEMS / sizeof ABOUT_ITEMS[0]);
}

std::string ResourceText(LPCSTR type, int id)
{
    HMODULE module = GetModuleHandleA(NULL);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == NULL) {
        return "";
    }
    const char* data = (const char*)LockResource(LoadResource(module, found));
    return std::string(data, SizeofResource(module, found));
}

TEST(Resources, ManifestAsksForCommonControlsSix)
{
    std::string manifest = ResourceText((LPCSTR)RT_MANIFEST, IDR_MANIFEST);
    ASSERT_FALSE(manifest.empty());
    const char* const wanted[] = {
        "name=\"Test\"",
        "version=\"1.0.0.0\"",
        "type=\"win32\"",
        "<description> Test Application </description>",
        "name=\"Microsoft.Windows.Common-Controls\"",
        "version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\"",
        "language=\"*\"",
    };
    for (const char* text : wanted) {
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
    }
#ifdef _WIN64
    const char* arch = "processorArchitecture=\"amd64\"";
#else
    const char* arch = "processorArchitecture=\"x86\"";
#endif
    size_t first = manifest.find(arch);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(manifest.find(arch, first + 1), std::string::npos) << "both identities";
}

TEST(Resources, BitmapsAre270By104TrueColour)
{
    for (int id : {IDB_BANNER, IDB_ABOUT_PICTURE}) {
        SCOPED_TRACE(id);
        HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(id));
        ASSERT_NE(bitmap, (HBITMAP)NULL);
        BITMAP info = {};
        ASSERT_EQ(GetObjectA(bitmap, sizeof info, &info), (int)sizeof info);
        EXPECT_EQ(info.bmWidth, 270);
        EXPECT_EQ(info.bmHeight, 104);
        DeleteObject(bitmap);
        // The raw resource keeps the file's depth (LoadBitmap converts to the screen's).
        HRSRC found = FindResourceA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(id), (LPCSTR)RT_BITMAP);
        ASSERT_NE(found, (HRSRC)NULL);
        const BITMAPINFOHEADER* header =
            (const BITMAPINFOHEADER*)LockResource(LoadResource(GetModuleHandleA(NULL), found));
        EXPECT_EQ(header->biBitCount, 24);
        EXPECT_EQ(header->biCompression, (DWORD)BI_RGB);
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, IconGroupHoldsTheSixteenImages)
{
    std::string group = ResourceText((LPCSTR)RT_GROUP_ICON, IDI_APP);
    ASSERT_GE(group.size(), 6u);
    WORD count = (WORD)((BYTE)group[4] | ((BYTE)group[5] << 8));
    ASSERT_EQ(count, 16);
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
    std::vector<std::string> seen;
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry entry;
        memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        int size = entry.width == 0 ? 256 : entry.width;
        seen.push_back(std::to_string(size) + "/" + std::to_string(entry.bitCount));
    }
    const char* const wanted[] = {"16/4",  "24/4",  "32/4",  "48/4",  "16/8",  "24/8",
                                  "32/8",  "48/8",  "16/32", "24/32", "32/32", "48/32",
                                  "64/32", "72/32", "96/32", "128/32"};
    for (const char* image : wanted) {
        EXPECT_NE(std::find(seen.begin(), seen.end(), image), seen.end()) << image;
    }
}

}  // namespace
