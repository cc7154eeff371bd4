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

}  // namespace

CommandLine ParseCommandLine(int argc, const LPCWSTR* argv)
{
    bool quiet = false;
    bool check = false;
    bool usage = false;
    bool usable = true;
    LPCWSTR logPath = NULL;
    for (int i = 1; i < argc; ++i) {
        if (IsOption(argv[i], L"quiet") || IsOption(argv[i], L"q"))
            quiet = true;
        else if (IsOption(argv[i], L"check"))
            check = true;
        else if (IsOption(argv[i], L"?"))
            usage = true;
        // The file comes next; an option there means that it is missing.
        else if (IsOption(argv[i], L"log") && logPath == NULL && i + 1 < argc &&
                 argv[i + 1][0] != L'\0' && !IsOption(argv[i + 1]))
            logPath = argv[++i];
        else
            usable = false;
    }
    const bool unattended = quiet || check;
    if ((quiet && check) || (logPath != NULL && !unattended) || (usage && argc > 2))
        usable = false;

    CommandLine line = {CommandLine::kDialog, kRemoveInteractively, NULL};
    if (unattended && usable) {
        line = {CommandLine::kUnattended, quiet ? kRemoveQuietly : kCheckOnly, logPath};
    } else if (unattended) {
        line.request = CommandLine::kRefused;
    } else if (!usable) {
        line.request = CommandLine::kUnusable;
    } else if (usage) {
        line.request = CommandLine::kUsage;
    }
    return line;
}

const WCHAR kUsageCaption[] = L"提示信息";

const WCHAR kUsage[] =
    L"用法：Tarnwick.exe [/quiet | /check] [/log 文件]\n"
    L"\n"
    L"不带选项：显示卸载对话框。\n"
    L"/quiet（/q）：卸载控件，不显示任何窗口。\n"
    L"/check：只检查控件是否还有痕迹，不删除任何内容。\n"
    L"/log 文件：把每一项的结果追加到文件（UTF-8），"
    L"只能与 /quiet 或 /check 一起使用。\n"
    L"/?：显示本说明。\n"
    L"\n"
    L"退出代码：\n"
    L"0　没有痕迹\n"
    L"1　仍有痕迹\n"
    L"2　控件的类注册项仍在（通常需要管理员权限）\n"
    L"87　命令行无效，未删除任何内容\n"
    L"\n"
    L"Usage: Tarnwick.exe [/quiet | /check] [/log FILE]\n"
    L"\n"
    L"No option: shows the uninstall dialog.\n"
    L"/quiet (/q): removes the controls without showing any window.\n"
    L"/check: only looks for traces of the controls; removes nothing.\n"
    L"/log FILE: appends what became of each item to FILE (UTF-8); only with /quiet or /check.\n"
    L"/?: shows this text.\n"
    L"\n"
    L"Exit codes:\n"
    L"0   no trace left\n"
    L"1   a trace stays\n"
    L"2   a control's class key stays (as a rule, administrator rights are needed)\n"
    L"87  the command line cannot be used; nothing removed";
