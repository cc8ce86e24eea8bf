// The firmware commands in the real window: the real open-file dialog, the
// block list, Save, the message boxes, and the files written, on images made
// here with the sample maker.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "block_extract.h"
#include "block_layout.h"
#include "firmware_commands.h"
#include "gui_support.h"
#include "main_window.h"
#include "resource.h"
#include "sample_image.h"

namespace {

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == NULL) {
        return bytes;
    }
    uint8_t buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    fclose(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL) {
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListEntries(HWND main)
{
    std::vector<std::string> names;
    HWND list = GetDlgItem(main, IDC_BLOCKS);
    LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char name[SELECTED_NAME_LEN] = "";
        SendMessageA(list, CB_GETLBTEXT, (WPARAM)i, (LPARAM)name);
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> CatalogueNames(BoardModel model)
{
    std::vector<std::string> names;
    for (int i = 0; i < CatalogueSize(model); ++i) {
        CatalogueEntry entry;
        if (CatalogueEntryAt(model, i, &entry)) {
            names.push_back(entry.name);
        }
    }
    return names;
}

int CatalogueIndex(BoardModel model, const char* name)
{
    for (int i = 0; i < CatalogueSize(model); ++i) {
        CatalogueEntry entry;
        if (CatalogueEntryAt(model, i, &entry) && strcmp(entry.name, name) == 0) {
            return i;
        }
    }
    return -1;
}

// The test's own folder for images and saved blocks, the current directory
// while it runs (the open-file dialog moves it to the image's folder anyway).
std::string MakeTestFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static int serial = 0;
    char folder[MAX_PATH];
    wsprintfA(folder, "%skorvanta-gui-%lu-%d", temp, GetCurrentProcessId(), ++serial);
    CreateDirectoryA(folder, NULL);
    SetCurrentDirectoryA(folder);
    return folder;
}

void RemoveTestFolder(const std::string& folder)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    SetCurrentDirectoryA(temp);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string path = folder + "\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryA(path.c_str());
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

class FirmwareCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_imagePath[0] = '\0';
        g_boardModel = BOARD_NONE;
        g_selectedIndex = 0;
        g_selectedName[0] = '\0';
        g_foundOffset = 0;
        g_chooseImage = GetOpenFileNameA;
        folder = MakeTestFolder();
        ASSERT_TRUE(StartMainDialog(&dialog));
        main = dialog.main;
    }

    void TearDown() override
    {
        StopMainDialog(&dialog);
        EXPECT_EQ(dialog.result, 0);
        g_chooseImage = GetOpenFileNameA;
        RemoveTestFolder(folder);
    }

    // A sample image written into the test folder; its bytes are kept in `bytes`.
    std::string MakeImage(const char* name, const SampleOptions& options,
                          std::vector<uint8_t>* bytes = NULL)
    {
        std::vector<uint8_t> image;
        EXPECT_TRUE(BuildSampleImage(options, &image));
        std::string path = folder + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, image));
        if (bytes != NULL) {
            *bytes = image;
        }
        return path;
    }

    // Opens `path` through the real open-file dialog.
    void OpenThroughDialog(const std::string& path)
    {
        HWND fileDialog = OpenTheFileDialog(&dialog);
        ASSERT_NE(fileDialog, (HWND)NULL);
        ASSERT_TRUE(FinishFileDialog(&dialog, fileDialog, path.c_str()));
    }

    void Pick(int index)
    {
        HWND list = GetDlgItem(main, IDC_BLOCKS);
        SendMessageA(list, CB_SETCURSEL, (WPARAM)index, 0);
        SendMessageA(main, WM_COMMAND, MAKEWPARAM(IDC_BLOCKS, CBN_SELCHANGE), (LPARAM)list);
    }

    void PressSave()
    {
        ASSERT_TRUE(IsWindowEnabled(GetDlgItem(main, IDC_SAVE)));
        PostMessageA(GetDlgItem(main, IDC_SAVE), BM_CLICK, 0, 0);
    }

    // True when no box with this caption shows up for a while.
    bool NoBox(const char* caption)
    {
        SyncWithDialog(&dialog);
        return WaitForThreadDialog(dialog.threadId, caption, 500) == NULL &&
               FindAnyThreadDialog(dialog.threadId, caption) == NULL;
    }

    // Sends a command and waits for it; a command that got stuck in a modal
    // window it should not have opened fails here instead of hanging.
    void Command(int id)
    {
        DWORD_PTR answer = 0;
        ASSERT_NE(SendMessageTimeoutA(main, WM_COMMAND, id, 0, SMTO_NORMAL, 20000, &answer), 0)
            << "command " << id << " did not return";
    }

    std::string Text(int id) { return ControlText(main, id); }

    bool SaveEnabled() { return IsWindowEnabled(GetDlgItem(main, IDC_SAVE)) != FALSE; }

    std::string SizeText(size_t size)
    {
        char text[32];
        FormatSizeText(size, text);
        return text;
    }

    DialogThread dialog = {};
    HWND main = NULL;
    std::string folder;
};

struct VariantCase {
    BoardModel model;
    const char* text;
    const char* mainCodeName;
};

TEST_F(FirmwareCommands, OpeningAnImageOfEachVariantListsItsCatalogue)
{
    const VariantCase cases[] = {
        {BOARD_3329B, "ALI-3329B", "maincode"},
        {BOARD_3329B_DVR_CI, "ALI-3329B DVR CI", "maincodeB"},
        {BOARD_3329C, "ALI-3329C", "maincodeC"},
    };
    for (const VariantCase& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<uint8_t> bytes;
        std::string path = MakeImage((std::string("variant-") + c.mainCodeName + ".bin").c_str(),
                                     DefaultSampleOptions(c.model), &bytes);
        OpenThroughDialog(path);
        EXPECT_TRUE(NoBox("Error"));
        EXPECT_EQ(Text(IDC_PATH), path);
        EXPECT_EQ(std::string(g_imagePath), path);
        EXPECT_EQ(Text(IDC_CPU), c.text);
        EXPECT_EQ(Text(IDC_SIZE), SizeText(bytes.size()));
        EXPECT_EQ(g_boardModel, c.model);
        std::vector<std::string> listed = ListEntries(main);
        EXPECT_EQ(listed, CatalogueNames(c.model));
        ASSERT_GE(listed.size(), 2u);
        EXPECT_EQ(listed[1], c.mainCodeName);
        EXPECT_FALSE(SaveEnabled());
        EXPECT_EQ(Text(IDC_VERSION), "");
        EXPECT_EQ(Text(IDC_DATE), "");

        // Picking a block shows its stamp and enables Save.
        SampleBlock blocks[SAMPLE_MAX_BLOCKS];
        ASSERT_EQ(PlanSampleImage(DefaultSampleOptions(c.model), blocks), (int)listed.size());
        Pick(1);
        EXPECT_EQ(Text(IDC_VERSION), blocks[1].version);
        EXPECT_EQ(Text(IDC_DATE), blocks[1].date);
        EXPECT_TRUE(SaveEnabled());
    }
}

TEST_F(FirmwareCommands, CancellingTheDialogChangesNothing)
{
    HWND fileDialog = OpenTheFileDialog(&dialog);
    ASSERT_NE(fileDialog, (HWND)NULL);
    Sleep(300);
    SaveScreenshot("open-dialog");
    ASSERT_TRUE(FinishFileDialog(&dialog, fileDialog, NULL));
    EXPECT_EQ(Text(IDC_PATH), "");
    EXPECT_EQ(std::string(g_imagePath), "");
    EXPECT_TRUE(NoBox("Error"));

    std::string path = MakeImage("first.bin", DefaultSampleOptions(BOARD_3329C));
    OpenThroughDialog(path);
    Pick(4);
    std::string version = Text(IDC_VERSION);
    ASSERT_NE(version, "");

    fileDialog = OpenTheFileDialog(&dialog);
    ASSERT_NE(fileDialog, (HWND)NULL);
    ASSERT_TRUE(FinishFileDialog(&dialog, fileDialog, NULL));
    EXPECT_EQ(Text(IDC_PATH), path);
    EXPECT_EQ(std::string(g_imagePath), path);
    EXPECT_EQ(Text(IDC_CPU), "ALI-3329C");
    EXPECT_EQ(Text(IDC_VERSION), version);
    EXPECT_EQ(ListEntries(main).size(), 8u);
    EXPECT_TRUE(SaveEnabled());
}

TEST_F(FirmwareCommands, AFileWithoutTheBootloaderWordIsAnErrorAndKeepsThePreviousImage)
{
    std::string good = MakeImage("good.bin", DefaultSampleOptions(BOARD_3329B_DVR_CI));
    OpenThroughDialog(good);
    ASSERT_EQ(Text(IDC_CPU), "ALI-3329B DVR CI");

    SampleOptions options = DefaultSampleOptions(BOARD_3329C);
    options.omit[options.omitCount++] = 0;  // the bootloader
    std::vector<uint8_t> bytes;
    std::string bad = MakeImage("no-bootloader.bin", options, &bytes);
    HWND fileDialog = OpenTheFileDialog(&dialog);
    ASSERT_NE(fileDialog, (HWND)NULL);
    SetDlgItemTextA(fileDialog, 0x47C, bad.c_str());
    PostMessageA(fileDialog, WM_COMMAND, IDOK, 0);

    std::string message;
    ASSERT_TRUE(ReadAndDismissBox(&dialog, "Error", &message, 10000));
    EXPECT_EQ(message, "Error File");
    EXPECT_EQ(Text(IDC_PATH), bad);
    EXPECT_EQ(Text(IDC_SIZE), SizeText(bytes.size()));
    EXPECT_EQ(Text(IDC_CPU), "ALI-3329B DVR CI");
    EXPECT_EQ(ListEntries(main), CatalogueNames(BOARD_3329B_DVR_CI));
    EXPECT_EQ(g_boardModel, BOARD_3329B_DVR_CI);
}

TEST_F(FirmwareCommands, AFileWithoutMainCodeChangesOnlyPathAndSize)
{
    std::string good = MakeImage("good.bin", DefaultSampleOptions(BOARD_3329B));
    OpenThroughDialog(good);
    Pick(0);
    std::string version = Text(IDC_VERSION);
    std::string date = Text(IDC_DATE);

    SampleOptions options = DefaultSampleOptions(BOARD_3329C);
    options.omit[options.omitCount++] = 1;  // the main code
    std::vector<uint8_t> bytes;
    std::string other = MakeImage("no-maincode.bin", options, &bytes);
    OpenThroughDialog(other);
    EXPECT_TRUE(NoBox("Error"));
    EXPECT_EQ(Text(IDC_PATH), other);
    EXPECT_EQ(Text(IDC_SIZE), SizeText(bytes.size()));
    EXPECT_EQ(Text(IDC_CPU), "ALI-3329B");
    EXPECT_EQ(ListEntries(main), CatalogueNames(BOARD_3329B));
    EXPECT_EQ(Text(IDC_VERSION), version);
    EXPECT_EQ(Text(IDC_DATE), date);
    EXPECT_TRUE(SaveEnabled());
}

TEST_F(FirmwareCommands, AnUnknownVariantByteSaysSoAndListsNothing)
{
    SampleOptions options = DefaultSampleOptions(BOARD_3329C);
    options.variantByte = 'b';
    OpenThroughDialog(MakeImage("lower-b.bin", options));
    EXPECT_TRUE(NoBox("Error"));
    EXPECT_EQ(Text(IDC_CPU), UNKNOWN_BOARD_TEXT);
    EXPECT_TRUE(ListEntries(main).empty());
    EXPECT_FALSE(SaveEnabled());
    EXPECT_EQ(g_boardModel, BOARD_NONE);
}

TEST_F(FirmwareCommands, SavingWritesTheBlockAndReportsItsName)
{
    std::vector<uint8_t> bytes;
    SampleOptions options = DefaultSampleOptions(BOARD_3329B_DVR_CI);
    std::string path = MakeImage("image.bin", options, &bytes);
    SampleBlock blocks[SAMPLE_MAX_BLOCKS];
    ASSERT_EQ(PlanSampleImage(options, blocks), 8);
    OpenThroughDialog(path);

    struct SaveCase {
        const char* block;
        const char* file;
    };
    const SaveCase cases[] = {
        {"bootloader", "bootloader.abs"},
        {"logo_radio", "logo_radio.bin"},
        {"logo_radio", "logo_radio.bin"},  // twice in a row: same name, same bytes
        {"maincodeB", "maincodeB.bin"},
    };
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(c.block);
        int index = CatalogueIndex(BOARD_3329B_DVR_CI, c.block);
        ASSERT_GE(index, 0);
        Pick(index);
        PressSave();
        if (&c == &cases[0]) {
            WaitForThreadDialog(dialog.threadId, "File Name", 10000);
            Sleep(300);
            SaveScreenshot("saved-block");
        }
        std::string message;
        ASSERT_TRUE(ReadAndDismissBox(&dialog, "File Name", &message, 10000));
        EXPECT_EQ(message, c.file);
        const SampleBlock& block = blocks[index];
        std::vector<uint8_t> expected(bytes.begin() + block.offset,
                                      bytes.begin() + block.offset + block.extent);
        EXPECT_EQ(ReadFileBytes(folder + "\\" + c.file), expected);
    }
    EXPECT_EQ(ReadFileBytes(path), bytes) << "the image is untouched";
}

TEST_F(FirmwareCommands, PickingABlockTheImageLacksKeepsTheLabelsAndSavesNothing)
{
    SampleOptions options = DefaultSampleOptions(BOARD_3329C);
    int logo = CatalogueIndex(BOARD_3329C, "logo");
    options.omit[options.omitCount++] = logo;
    OpenThroughDialog(MakeImage("no-logo.bin", options));
    Pick(CatalogueIndex(BOARD_3329C, "CAS_data"));
    std::string version = Text(IDC_VERSION);
    std::string date = Text(IDC_DATE);
    ASSERT_NE(version, "");

    Pick(logo);
    EXPECT_TRUE(SaveEnabled());
    EXPECT_EQ(Text(IDC_VERSION), version);
    EXPECT_EQ(Text(IDC_DATE), date);
    EXPECT_EQ(std::string(g_selectedName), "logo");

    PressSave();
    EXPECT_TRUE(NoBox("File Name"));
    EXPECT_TRUE(NoBox("Error"));
    EXPECT_FALSE(FileExists(folder + "\\logo.bin"));
}

TEST_F(FirmwareCommands, TheDialogStartsAtThePreviousFile)
{
    std::string first = MakeImage("previous.bin", DefaultSampleOptions(BOARD_3329B));
    OpenThroughDialog(first);
    ASSERT_EQ(Text(IDC_CPU), "ALI-3329B");

    // The file-name field holds the previous file's name.
    HWND fileDialog = OpenTheFileDialog(&dialog);
    ASSERT_NE(fileDialog, (HWND)NULL);
    char field[MAX_PATH] = "";
    GetDlgItemTextA(fileDialog, 0x47C, field, sizeof field);
    EXPECT_NE(std::string(field).find("previous.bin"), std::string::npos) << field;
    ASSERT_TRUE(FinishFileDialog(&dialog, fileDialog, NULL));

    // With the current directory elsewhere, pressing Open at once still opens
    // the previous file: the dialog started in its folder, at its name.
    SetCurrentDirectoryA("C:\\");
    fileDialog = OpenTheFileDialog(&dialog);
    ASSERT_NE(fileDialog, (HWND)NULL);
    PostMessageA(fileDialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForWindowGone(fileDialog, 10000));
    SyncWithDialog(&dialog);
    EXPECT_TRUE(NoBox("Error"));
    EXPECT_EQ(std::string(g_imagePath), first);
    EXPECT_EQ(Text(IDC_PATH), first);
}

TEST_F(FirmwareCommands, SavingABlockNamedLikeTheImageLeavesTheImageIntact)
{
    std::vector<uint8_t> bytes;
    std::string path = MakeImage("userdb.bin", DefaultSampleOptions(BOARD_3329B), &bytes);
    OpenThroughDialog(path);
    Pick(CatalogueIndex(BOARD_3329B, "userdb"));
    PressSave();
    std::string message;
    ASSERT_TRUE(ReadAndDismissBox(&dialog, "Error", &message, 10000));
    EXPECT_NE(message.find("userdb.bin"), std::string::npos) << message;
    EXPECT_NE(message.find(ExtractStatusText(EXTRACT_REFUSED_SAME_FILE)), std::string::npos)
        << message;
    EXPECT_TRUE(NoBox("File Name"));
    EXPECT_EQ(ReadFileBytes(path), bytes);
}

TEST_F(FirmwareCommands, ASaveThatCannotBeWrittenNamesTheFileAndTheReason)
{
    std::string path = MakeImage("image.bin", DefaultSampleOptions(BOARD_3329C));
    OpenThroughDialog(path);
    // A folder where the output file would go.
    ASSERT_TRUE(CreateDirectoryA((folder + "\\defaultdb.bin").c_str(), NULL));
    Pick(CatalogueIndex(BOARD_3329C, "defaultdb"));
    PressSave();
    std::string message;
    ASSERT_TRUE(ReadAndDismissBox(&dialog, "Error", &message, 10000));
    EXPECT_NE(message.find("defaultdb.bin"), std::string::npos) << message;
    EXPECT_NE(message.find(ExtractStatusText(EXTRACT_OUTPUT_NOT_WRITTEN)), std::string::npos)
        << message;
    EXPECT_TRUE(NoBox("File Name"));
}

TEST_F(FirmwareCommands, ASaveCutAtTheImageEndIsWrittenAndSaysSo)
{
    SampleOptions options = DefaultSampleOptions(BOARD_3329C);
    int userdb = CatalogueIndex(BOARD_3329C, "userdb");
    options.extents[options.extentCount++] = {userdb, 0x00800000};  // past the 4 MiB end
    std::vector<uint8_t> bytes;
    std::string path = MakeImage("image.bin", options, &bytes);
    SampleBlock blocks[SAMPLE_MAX_BLOCKS];
    ASSERT_EQ(PlanSampleImage(options, blocks), 8);
    OpenThroughDialog(path);
    Pick(userdb);
    PressSave();
    std::string message;
    ASSERT_TRUE(ReadAndDismissBox(&dialog, "File Name", &message, 10000));
    EXPECT_EQ(message.rfind("userdb.bin", 0), 0u) << message;
    EXPECT_NE(message.find("cut at the image end"), std::string::npos) << message;
    std::vector<uint8_t> expected(bytes.begin() + blocks[userdb].offset, bytes.end());
    EXPECT_EQ(ReadFileBytes(folder + "\\userdb.bin"), expected);
}

// --- The chooser replaced, for what the real dialog cannot show -------------

struct ChooserCall {
    int calls;
    OPENFILENAMEA request;
    std::string filter;
    std::string startName;
    std::string answer;  // copied into the buffer when `choose` is set
    bool choose;
    bool tooLong;        // answers as the platform does for a path past the buffer
};
ChooserCall g_call;

BOOL WINAPI FakeChooser(OPENFILENAMEA* request)
{
    ++g_call.calls;
    g_call.request = *request;
    const char* filter = request->lpstrFilter;
    g_call.filter.clear();
    while (filter != NULL && (filter[0] != '\0' || filter[1] != '\0')) {
        g_call.filter += *filter == '\0' ? '|' : *filter;
        ++filter;
    }
    g_call.startName = request->lpstrFile;
    if (g_call.tooLong) {
        // The size needed, in the buffer's first two bytes.
        WORD needed = 300;
        memcpy(request->lpstrFile, &needed, sizeof needed);
        return FALSE;
    }
    if (g_call.choose) {
        lstrcpynA(request->lpstrFile, g_call.answer.c_str(), (int)request->nMaxFile);
        return TRUE;
    }
    return FALSE;
}

TEST_F(FirmwareCommands, TheChooserGetsTheRecordOfTheDesign)
{
    std::string first = MakeImage("first.bin", DefaultSampleOptions(BOARD_3329B));
    std::string second = MakeImage("second.bin", DefaultSampleOptions(BOARD_3329C));
    g_chooseImage = FakeChooser;
    g_call = ChooserCall();
    g_call.choose = true;
    g_call.answer = first;
    Command(IDC_OPEN);
    EXPECT_EQ(g_call.startName, "");
    g_call.answer = second;
    Command(IDC_OPEN);
    ASSERT_EQ(g_call.calls, 2);

    const OPENFILENAMEA& r = g_call.request;
    EXPECT_EQ(r.lStructSize, (DWORD)OPENFILENAME_SIZE_VERSION_400A);
#ifndef _WIN64
    EXPECT_EQ(r.lStructSize, 76u);
#endif
    EXPECT_EQ(r.hwndOwner, main);
    EXPECT_EQ(g_call.filter, "BinFile(*.bin)|*.bin");
    EXPECT_EQ(r.nMaxFile, 260u);
    EXPECT_EQ(r.Flags, 0x00081004u);
    EXPECT_EQ(r.nFilterIndex, 0u);
    EXPECT_EQ(r.lpstrInitialDir, (LPCSTR)NULL);
    EXPECT_EQ(r.lpstrTitle, (LPCSTR)NULL);
    EXPECT_EQ(r.lpstrDefExt, (LPCSTR)NULL);
    EXPECT_EQ(r.lpstrCustomFilter, (LPSTR)NULL);
    EXPECT_EQ(r.lpstrFileTitle, (LPSTR)NULL);
    EXPECT_EQ(g_call.startName, first) << "starts at the previous file";
    EXPECT_EQ(std::string(g_imagePath), second);
    EXPECT_EQ(Text(IDC_CPU), "ALI-3329C");
}

TEST_F(FirmwareCommands, APathTooLongForTheBufferLeavesThePreviousImage)
{
    std::string path = MakeImage("kept.bin", DefaultSampleOptions(BOARD_3329B_DVR_CI));
    g_chooseImage = FakeChooser;
    g_call = ChooserCall();
    g_call.choose = true;
    g_call.answer = path;
    Command(IDC_OPEN);
    ASSERT_EQ(Text(IDC_CPU), "ALI-3329B DVR CI");

    g_call.choose = false;
    g_call.tooLong = true;
    Command(IDC_OPEN);
    EXPECT_EQ(std::string(g_imagePath), path);
    EXPECT_EQ(Text(IDC_PATH), path);
    EXPECT_EQ(ListEntries(main), CatalogueNames(BOARD_3329B_DVR_CI));

    // Later picks still work on the kept image.
    Pick(CatalogueIndex(BOARD_3329B_DVR_CI, "logo"));
    EXPECT_NE(Text(IDC_VERSION), "");
}

TEST(SizeText, UnsignedDecimalAtEverySize)
{
    struct Case {
        uint64_t size;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 Byte"},
        {7, "7 Byte"},
        {4194304, "4194304 Byte"},
        {2147483647u, "2147483647 Byte"},
        {2147483648u, "2147483648 Byte"},
        {4294967295u, "4294967295 Byte"},
        {4294967296ull, "4294967296 Byte"},
        {18446744073709551615ull, "18446744073709551615 Byte"},
    };
    for (const Case& c : cases) {
        char text[32];
        FormatSizeText(c.size, text);
        EXPECT_STREQ(text, c.text);
    }
}

TEST_F(FirmwareCommands, AnImageOfMoreThanTwoGibibytesShowsItsSize)
{
    // Sparse: a header at the start, the rest a hole, 2 GiB + 8 bytes long.
    std::string path = folder + "\\big.bin";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = 0x80000008LL;
    BOOL sized = SetFilePointerEx(file, end, NULL, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(sized);

    g_chooseImage = FakeChooser;
    g_call = ChooserCall();
    g_call.choose = true;
    g_call.answer = path;
    PostMessageA(main, WM_COMMAND, IDC_OPEN, 0);
    std::string message;
    ASSERT_TRUE(ReadAndDismissBox(&dialog, "Error", &message, 60000));
    EXPECT_EQ(message, "Error File");
    EXPECT_EQ(Text(IDC_SIZE), "2147483656 Byte");
}

}  // namespace
