// Where Windows differs: names, files other programs hold open, the
// read-only attribute, Japanese and long paths, summer time, live temporary
// files. The shared suites cover the rest.

#include <windows.h>

#include "BackupNames.h"
#include "platform/win32/Win32.h"
#include "support/FakeHost.h"

using namespace tsumugiya;
using namespace tsumugiya::test;
using enum CommandResult;

namespace {

// A handle as another program (the game) would hold it.
struct Held {
    Held(const fs::path& file, DWORD access, DWORD share)
        : handle(::CreateFileW(platform::win32::ApiPath(file).c_str(), access, share, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Held() { ::CloseHandle(handle); }
    HANDLE handle;
};

bool IsReadOnly(const fs::path& file) {
    const DWORD attributes = ::GetFileAttributesW(platform::win32::ApiPath(file).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

const std::string kNameA = "slot1.dat.save.2023年03月05日19時01分08秒_";

// "..\x" or "D:x" would leave the backup folder; "NUL" is a device anywhere.
TEST(WindowsNames, SeparatorsStreamsDevicesAndTrailingDotsAreRefused) {
    for (const char* name : {"..\\x", "D:x", "save.dat:stream", "CON", "nul.txt", "Com1.dat",
                             "LPT9", "aux .dat", "x.", "x "}) {
        EXPECT_FALSE(IsNameInFolder(name)) << name;
    }
    for (const char* name : {"CONSOLE.dat", "COM10", "セーブ.dat", ".hidden", "a b.dat"}) {
        EXPECT_TRUE(IsNameInFolder(name)) << name;
    }
    // What no name may hold is refused, and a memo holding it says which.
    for (const char c : std::string_view("\\/:*?\"<>|")) {
        const std::string name = std::string("a") + c + "b";
        EXPECT_FALSE(IsNameInFolder(name)) << name;
        EXPECT_NE(MemoProblem(name, 100).value_or("").find("「" + std::string(1, c) + "」"),
                  std::string::npos)
            << name;
    }
}

// Shares and \\?\ paths stay what they name, whatever the working drive,
// and may hold the save; a device path is kept as it is, and refused.
TEST(WindowsPaths, SharesAndLiteralPathsStayWhatTheyName) {
    const std::pair<const char*, const char*> cases[] = {
        {R"(\\pc\share\s.dat)", R"(\\pc\share\s.dat)"},
        {"//pc/share/s.dat", R"(\\pc\share\s.dat)"},
        {R"(\\?\C:\games\s.dat)", R"(C:\games\s.dat)"},
        {R"(\\?\UNC\pc\share\s.dat)", R"(\\pc\share\s.dat)"},
        {R"(C:\games\..\s.dat)", R"(C:\s.dat)"},
        {R"(\\.\C:\games\s.dat)", R"(\\.\C:\games\s.dat)"},
    };
    for (const auto& [typed, kept] : cases) {
        EXPECT_EQ(platform::AbsolutePath(typed).value_or("-"), kept) << typed;
    }
    const fs::path here = fs::current_path();
    EXPECT_EQ(platform::AbsolutePath("s.dat"), Utf8(here / "s.dat"));
    EXPECT_EQ(platform::AbsolutePath(R"(\games\s.dat)"),
              Utf8(here.root_name()) + R"(\games\s.dat)");
    AppLocations locations;
    for (const char* path : {R"(C:\games\slot1.dat)", "c:/games/slot1.dat", R"(\\pc\share\s.dat)",
                             R"(\\?\C:\games\s.dat)", R"(\\?\UNC\pc\share\s.dat)"}) {
        EXPECT_TRUE(locations.SetSaveFile(path)) << path;
    }
    for (const char* path : {R"(\games\slot1.dat)", "C:slot1.dat", R"(games\slot1.dat)",
                             R"(C:\games\NUL)", R"(C:\games\s.dat:x)"}) {
        EXPECT_FALSE(locations.SetSaveFile(path)) << path;
    }
    for (const char* path : {R"(\\.\C:\games\s.dat)", R"(\\?\Volume{0}\s.dat)",
                             R"(\\.\PhysicalDrive0)", R"(//./C:/games/s.dat)"}) {
        EXPECT_TRUE(platform::IsDevicePath(path)) << path;
        EXPECT_FALSE(locations.SetSaveFile(path)) << path;
    }
    for (const char* path : {R"(\\pc)", R"(\\pc\)", R"(\\\pc\share)", R"(\\pc\\share)"}) {
        EXPECT_FALSE(platform::IsAbsolutePath(path)) << path;
    }
}

// 2023-03-05 and 2023-07-05, 19:01:08 UTC, in Central European time: an hour
// ahead in winter, two in summer, whatever today's offset is.
TEST(WindowsTime, LocalTimeFollowsTheZonesRulesForThatDate) {
    TIME_ZONE_INFORMATION cet{};
    cet.Bias = -60;
    cet.DaylightBias = -60;
    cet.StandardDate = SYSTEMTIME{0, 10, 0, 5, 3, 0, 0, 0};  // last Sunday of October, 3:00
    cet.DaylightDate = SYSTEMTIME{0, 3, 0, 5, 2, 0, 0, 0};   // last Sunday of March, 2:00
    const auto winter = platform::win32::LocalTimeIn(1678042868, &cet);
    const auto summer = platform::win32::LocalTimeIn(1688583668, &cet);
    ASSERT_TRUE(winter && summer);
    EXPECT_EQ(std::tuple(winter->month, winter->day, winter->hour, winter->minute),
              std::tuple(3, 5, 20, 1));
    EXPECT_EQ(std::tuple(summer->month, summer->day, summer->hour, summer->second),
              std::tuple(7, 5, 21, 8));
}

// A FILETIME counts 100 ns ticks from 1601 up to the year 30828: every such
// time converts, without the 64-bit nanoseconds that end in 2262.
TEST(WindowsTime, EveryFileTimeConverts) {
    const auto stamp = [](std::uint64_t ticks) {
        return platform::win32::UnixTime(
            FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)});
    };
    EXPECT_EQ(stamp(0), (platform::FileTimeStamp{-11644473600, 0}));
    EXPECT_EQ(stamp(252139392000000001), (platform::FileTimeStamp{13569465600, 100}));  // 2400
    EXPECT_EQ(stamp(116444735999999999), (platform::FileTimeStamp{-1, 999999900}));
    TIME_ZONE_INFORMATION jst{};
    jst.Bias = -540;
    const auto first = platform::win32::LocalTimeIn(-11644473600, &jst);
    const auto last = platform::win32::LocalTimeIn(253402300799, &jst);
    ASSERT_TRUE(first && last);
    EXPECT_EQ(std::tuple(first->year, first->month, first->day, first->hour),
              std::tuple(1601, 1, 1, 9));
    EXPECT_EQ(std::tuple(last->year, last->month, last->day, last->hour, last->second),
              std::tuple(10000, 1, 1, 8, 59));
    EXPECT_FALSE(platform::win32::LocalTimeIn(-11644473601, &jst));  // before 1601
}

// Windows causes are told in Japanese too, from its own messages or the
// program's words. A sharing violation is what the user meets while the game
// holds its save.
TEST(WindowsCauses, CommonOnesAreToldInJapanese) {
    for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED,
                             ERROR_DISK_FULL, ERROR_WRITE_PROTECT, ERROR_FILENAME_EXCED_RANGE,
                             ERROR_CRC, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION}) {
        const std::string text = platform::win32::ErrorText(code);
        EXPECT_TRUE(IsJapanese(text)) << code << " " << text;
    }
    EXPECT_FALSE(platform::win32::ErrorText(ERROR_NOT_SAME_DEVICE).empty());
    TempFolder dir;
    WriteFile(dir / "s.dat", "state A");
    const Held locked(dir / "s.dat", GENERIC_READ, 0);
    ASSERT_NE(locked.handle, INVALID_HANDLE_VALUE);
    platform::OpenedFileStatus status;
    platform::IoError error;
    EXPECT_FALSE(platform::ReadFileStatus(dir / "s.dat", status, error));
    EXPECT_EQ(error.cause, platform::win32::ErrorText(ERROR_SHARING_VIOLATION));
}

// A copy in progress holds its file without delete sharing; one a crash
// left behind is held by no one, read-only or not.
TEST(WindowsTempFiles, TheSweepRemovesOnlyWhatNoOneHoldsOpen) {
    TempFolder dir;
    for (const char* name : {".tsumugiya-Live01.tmp", ".tsumugiya-Stal01.tmp",
                             ".tsumugiya-Ronly1.tmp", ".tsumugiya-notes.tmp"}) {
        WriteFile(dir / name, name);
    }
    ::SetFileAttributesW((dir / ".tsumugiya-Ronly1.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
    const Held live(dir / ".tsumugiya-Live01.tmp", GENERIC_WRITE, FILE_SHARE_READ);
    ASSERT_NE(live.handle, INVALID_HANDLE_VALUE);
    platform::RemoveStaleTempFiles(dir.path);
    EXPECT_EQ(Names(dir.path), (Texts{".tsumugiya-Live01.tmp", ".tsumugiya-notes.tmp"}));
}

// The game may hold its save open while a command runs. A backup copies what
// it may read or says why not; a restore replaces the save whole or not at all.
TEST_F(CommandTest, ASaveHeldOpenIsCopiedOrRefusedNeverHalfReplaced) {
    {
        const Held writing(save, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_EQ(commands.OnBackup().result, Done);
    }
    EXPECT_EQ(StateOf(backup / U8(kNameA)), kStateA);
    WriteFile(backup / "slot1.dat.save.b", "state B", kTimeB);
    for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        {
            const Held held(save, GENERIC_READ, share);
            ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
            EXPECT_EQ(commands.OnFixedNameBackup().result, share ? Done : Failed) << share;
            host.TakeLog();
            // No delete sharing: no rename, and the user is told why.
            EXPECT_EQ(Restore({"slot1.dat.save.b"}), Failed) << share;
            EXPECT_FALSE(host.TakeLog().empty()) << share;
        }
        EXPECT_EQ(StateOf(save), kStateA) << share;
    }
    // Windows may or may not replace a file that is open with delete sharing.
    CommandResult result;
    {
        const Held open(save, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
        result = Restore({"slot1.dat.save.b"});
    }
    EXPECT_EQ(StateOf(save), result == Done ? kStateB : kStateA);
    EXPECT_EQ(ReadFile(safety), "state A");
    EXPECT_EQ(Names(dir / "game"), (Texts{"slot1.dat", "slot1.dat.s"}));  // nothing half-done
}

// A save the player made read-only stays so through a restore; its backups
// can still be deleted, as on Linux where the folder's rights decide.
TEST_F(CommandTest, AReadOnlySaveKeepsItsAttributeThroughARestore) {
    ASSERT_TRUE(::SetFileAttributesW(save.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(commands.OnBackup().result, Done);
    WriteFile(backup / "slot1.dat.save.b", "state B", kTimeB);
    ASSERT_EQ(Restore({"slot1.dat.save.b"}), Done);
    EXPECT_EQ(std::tuple(StateOf(save), IsReadOnly(save), ReadFile(safety)),
              std::tuple(kStateB, true, Content("state A")));
    host.Select({kNameA});
    host.answers = "y";
    EXPECT_TRUE(IsReadOnly(backup / U8(kNameA)));
    EXPECT_EQ(commands.OnDelete().result, Done);
    EXPECT_EQ(Names(backup), Texts{"slot1.dat.save.b"});
}

// Japanese names pass no code page, and paths past 260 characters work for
// the program's own files and the save alike. Names count UTF-16 units, so a
// memo of 200 kanji (600 bytes) still fits on Windows.
TEST_F(CommandTest, JapaneseAndLongPathsReachTheSameFiles) {
    fs::path deep = dir.path;
    platform::IoError error;
    for (int i = 0; i < 24; ++i) {
        deep /= U8("セーブデータのフォルダー" + std::to_string(i));
        ASSERT_TRUE(platform::CreateDirectory(deep, error)) << error.cause;
    }
    ASSERT_GT(deep.wstring().size(), 300u);
    const fs::path longSave = deep / U8("城の前.dat");
    ASSERT_TRUE(platform::WriteFileAtomically(longSave, "state A", error)) << error.cause;
    locations.InitLocations(deep / U8("紡ぎ屋.exe"));  // the commands' own
    ASSERT_TRUE(locations.SetSaveFile(Utf8(longSave)));
    // Wine keeps names as UTF-8 on the Linux file system, whose 255-byte
    // limit is stricter than the 255 UTF-16 units Windows documents.
    const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
    std::string memo;
    for (int i = 0; i < (wine ? 60 : 200); ++i) {
        memo += "城";
    }
    host.memo = memo;
    ASSERT_EQ(commands.OnBackup().result, Done) << host.told.back();
    const Texts names = platform::ListFolder(deep / "backup");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with("城の前.dat.save.") && names[0].ends_with(memo)) << names[0];
    ASSERT_TRUE(platform::WriteFileAtomically(longSave, "state B", error)) << error.cause;
    host.Select(names);
    ASSERT_EQ(commands.OnRestore().result, Done);
    std::string bytes;
    ASSERT_TRUE(platform::ReadWholeFile(longSave, bytes));
    EXPECT_EQ(bytes, "state A");
    ASSERT_TRUE(locations.SaveSettings(error)) << error.cause;
    ASSERT_TRUE(platform::ReadWholeFile(deep / U8("紡ぎ屋.ini"), bytes));
    EXPECT_NE(bytes.find("filename=城の前.dat"), std::string::npos) << bytes;
}

}  // namespace
