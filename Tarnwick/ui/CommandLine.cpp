#include "CommandLine.h"

namespace {

bool IsOption(LPCWSTR argument)
{
    return argument[0] == L'/' || argument[0] == L'-';
}

WCHAR LowerAscii(WCHAR c)
{
    return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c;
}

// Whether argument is the option name (lower case), after its '/' or '-', in any case.
bool IsOption(LPCWSTR argument, LPCWSTR name)
{
    if (!IsOption(argument))
        return false;
    LPCWSTR letter = argument + 1;
    for (; *name != L'\0'; ++letter, ++name) {
        if (LowerAscii(*letter) != *name)
            return false;
    }
    return *letter == L'\0';
}

bool IsQuietOption(LPCWSTR argument)
{
    return IsOption(argument, L"quiet") || IsOption(argument, L"q") || IsOption(argument, L"qn") ||
           IsOption(argument, L"s") || IsOption(argument, L"silent");
}

const DWORD kDefaultWaitSeconds = 60;
const DWORD kLongestWaitSeconds = 3600;

// Reads a number of seconds, digits only, at most kLongestWaitSeconds.
bool ReadSeconds(LPCWSTR text, DWORD* seconds)
{
    *seconds = 0;
    for (LPCWSTR digit = text; *digit != L'\0'; ++digit) {
        if (*digit < L'0' || *digit > L'9')
            return false;
        *seconds = *seconds * 10 + (*digit - L'0');
        if (*seconds > kLongestWaitSeconds)
            return false;
    }
    return *text != L'\0';
}

}  // namespace

CommandLine ParseCommandLine(int argc, const LPCWSTR* argv, bool seen)
{
    bool quiet = false;
    bool check = false;
    bool usage = false;
    bool block = false;
    bool usable = true;
    bool waitGiven = false;
    LPCWSTR logPath = NULL;
    DWORD waitSeconds = kDefaultWaitSeconds;
    for (int i = 1; i < argc; ++i) {
        // The value of /log and /wait comes next; an option there means that it is missing.
        const LPCWSTR next = i + 1 < argc ? argv[i + 1] : L"";
        const bool valueFollows = next[0] != L'\0' && !IsOption(next);
        if (IsQuietOption(argv[i]))
            quiet = true;
        else if (IsOption(argv[i], L"check"))
            check = true;
        else if (IsOption(argv[i], L"?"))
            usage = true;
        else if (IsOption(argv[i], L"block"))
            block = true;
        else if (IsOption(argv[i], L"norestart"))
            continue;
        else if (IsOption(argv[i], L"log") && logPath == NULL && valueFollows)
            logPath = argv[++i];
        else if (IsOption(argv[i], L"wait") && !waitGiven && valueFollows) {
            waitGiven = true;
            usable = ReadSeconds(argv[++i], &waitSeconds) && usable;
        } else
            usable = false;
    }
    const bool unattended = quiet || check;
    if ((quiet && check) || ((logPath != NULL || waitGiven || block) && !unattended) ||
        (usage && argc > 2))
        usable = false;

    CommandLine line = {CommandLine::kNothing, ERROR_INVALID_PARAMETER, kRemoveInteractively,
                        NULL, waitSeconds, block};
    if (unattended && usable) {
        line.request = CommandLine::kUnattended;
        line.exitCode = 0;
        line.mode = quiet ? kRemoveQuietly : kCheckOnly;
        line.logPath = logPath;
    } else if (unattended || !seen) {
        // Without a window there is nothing to show, nor anyone to press a button.
        line.exitCode = usable && usage ? 0 : ERROR_INVALID_PARAMETER;
    } else if (!usable || usage) {
        line.request = CommandLine::kUsage;
        line.exitCode = usable ? 0 : ERROR_INVALID_PARAMETER;
    } else {
        line.request = CommandLine::kDialog;
        line.exitCode = 0;
    }
    return line;
}

bool WindowsAreSeen(bool visibleStation, bool vistaOrLater, DWORD session)
{
    return visibleStation && !(vistaOrLater && session == 0);
}

int DialogExitCode(bool shown, int lastPress)
{
    return shown ? lastPress : 1;
}

const WCHAR kUsageCaption[] = L"提示信息";

const char kUsage[] =
    u8"用法：Tarnwick.exe [/quiet | /check] [/block] [/log 文件] [/wait 秒数]\n"
    u8"\n"
    u8"不带选项：显示卸载对话框。\n"
    u8"/quiet（/q、/qn、/s、/silent）：卸载控件，不显示任何窗口。\n"
    u8"/check：只检查控件是否还有痕迹，不删除任何内容。\n"
    u8"/block：设置控件的禁用位，浏览器不再加载它们"
    u8"（与 /check 一起时只检查）。\n"
    u8"/log 文件：把每一项的结果追加到文件（UTF-8）。\n"
    u8"/wait 秒数：另一个卸载正在进行时，最多等待多少秒"
    u8"（0 到 3600，默认 60）。\n"
    u8"/block、/log 和 /wait 只能与 /quiet 或 /check 一起使用；"
    u8"/norestart 不起作用。\n"
    u8"/?：显示本说明。\n"
    u8"\n"
    u8"退出代码：\n"
    u8"0　没有痕迹\n"
    u8"1　仍有痕迹\n"
    u8"2　控件的类注册项仍在（通常需要管理员权限）\n"
    u8"87　命令行无效，未删除任何内容\n"
    u8"1618　另一个卸载正在进行，未删除任何内容，请稍后再试\n"
    u8"3010　只剩正在使用的文件，将在 Windows 下次启动时删除\n"
    u8"1622　无法写入日志文件，未删除任何内容\n"
    u8"\n"
    u8"Usage: Tarnwick.exe [/quiet | /check] [/block] [/log FILE] [/wait SECONDS]\n"
    u8"\n"
    u8"No option: shows the uninstall dialog.\n"
    u8"/quiet (/q, /qn, /s, /silent): removes the controls without showing any window.\n"
    u8"/check: only looks for traces of the controls; removes nothing.\n"
    u8"/block: sets the controls' kill bits: no browser loads them (with /check, looks only).\n"
    u8"/log FILE: appends what became of each item to FILE (UTF-8).\n"
    u8"/wait SECONDS: waits at most this long for another removal to end (0 to 3600, default 60).\n"
    u8"/block, /log and /wait only with /quiet or /check; /norestart changes nothing.\n"
    u8"/?: shows this text.\n"
    u8"\n"
    u8"Exit codes:\n"
    u8"0     no trace left\n"
    u8"1     a trace stays\n"
    u8"2     a control's class key stays (as a rule, administrator rights are needed)\n"
    u8"87    the command line cannot be used; nothing removed\n"
    u8"1618  another removal is under way; nothing removed, try again later\n"
    u8"3010  only files in use stay; they go when Windows next starts\n"
    u8"1622  the log file cannot be written; nothing removed";

// A UTF-8 byte makes at most one UTF-16 unit.
static_assert(sizeof kUsage <= kUsageCapacity, "the usage's UTF-16 does not fit kUsageCapacity");
