// probe: the Win32 state that the X side of the end-to-end tests cannot see,
// printed as one JSON value on standard output.
//
//   probe windows [--class NAME] [--title TEXT] [--pid N]
//   probe controls HWND
//   probe boxes [--pid N]
//   probe post (HWND | --class NAME [--pid N]) MSG WPARAM LPARAM
//   probe click HWND CONTROL_ID
//   probe stats HWND
//   probe clipboard
//   probe set-clipboard HEX
//   probe ping HWND COUNT INTERVAL_MS
//   probe foreground
//   probe serve
//
// "serve" reads one command per line from standard input (the arguments
// above, quoted as on a command line) and answers each with one line: the
// command's JSON, or {"error":N} with the status it would exit with. It spares
// the tests a Wine start per question. Numbers are decimal or 0x hexadecimal. Every message sent to
// another process has a timeout, so a hung program cannot hang the probe. Exit status 0 on success,
// 1 when the target does not exist, 2 for a usage error.
#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tolvar/core/json_text.hpp"
#include "tolvar/core/win/win32.hpp"

namespace {

using tolvar::core::append_json_escaped;
using tolvar::core::win::from_wide;

constexpr UINT k_send_timeout_ms = 2000;

// A JSON writer for one compact value; signed numbers are why it is not the
// store's writer.
class Json {
  public:
    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array() { open('['); }
    void end_array() { close(']'); }
    void key(const char* name) {
        comma();
        out_ += '"';
        out_ += name;
        out_ += "\":";
        after_key_ = true;
    }
    void value(const std::string& text) {
        comma();
        out_ += '"';
        append_json_escaped(out_, text);
        out_ += '"';
    }
    void value(std::int64_t n) {
        comma();
        out_ += std::to_string(n);
    }
    void value(bool b) {
        comma();
        out_ += b ? "true" : "false";
    }
    void rect(const RECT& r) {
        begin_array();
        for (const LONG v : {r.left, r.top, r.right, r.bottom}) value(std::int64_t{v});
        end_array();
    }
    const std::string& text() const { return out_; }

  private:
    void comma() {
        if (after_key_) {
            after_key_ = false;
        } else if (!first_) {
            out_ += ',';
        }
        first_ = false;
    }
    void open(char c) {
        comma();
        out_ += c;
        first_ = true;
    }
    void close(char c) {
        out_ += c;
        first_ = false;
    }

    std::string out_;
    bool first_ = true;
    bool after_key_ = false;
};

bool g_printed = false;

void print(const Json& json) {
    g_printed = true;
    const std::string line = json.text() + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

int usage() {
    const char text[] =
        "usage: probe windows [--class NAME] [--title TEXT] [--pid N]\n"
        "       probe controls HWND\n"
        "       probe boxes [--pid N]\n"
        "       probe post (HWND | --class NAME [--pid N]) MSG WPARAM LPARAM\n"
        "       probe click HWND CONTROL_ID\n"
        "       probe stats HWND\n"
        "       probe clipboard\n"
        "       probe set-clipboard HEX\n"
        "       probe ping HWND COUNT INTERVAL_MS\n"
        "       probe foreground\n"
        "       probe serve\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, sizeof text - 1, &written, nullptr);
    return 2;
}

std::optional<std::int64_t> parse_number(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    const bool negative = text[0] == L'-';
    const std::int64_t n = negative
                               ? std::wcstoll(text.c_str(), &end, 0)
                               : static_cast<std::int64_t>(std::wcstoull(text.c_str(), &end, 0));
    if (*end != L'\0') return std::nullopt;
    return n;
}

HWND to_hwnd(std::int64_t n) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(n));
}

std::int64_t hwnd_number(HWND hwnd) {
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(hwnd));
}

std::wstring class_of(HWND hwnd) {
    wchar_t name[256];
    const int n = GetClassNameW(hwnd, name, 256);
    return {name, n > 0 ? static_cast<std::size_t>(n) : 0};
}

bool is_class(const std::wstring& cls, const wchar_t* name) {
    return lstrcmpiW(cls.c_str(), name) == 0;
}

// The window's own text. WM_GETTEXT rather than GetWindowTextW, which for
// another process's window returns the creation caption, not what an edit
// control holds now.
std::string text_of(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, k_send_timeout_ms,
                             &length))
        return {};
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             k_send_timeout_ms, &copied))
        return {};
    buffer.resize(std::min<std::size_t>(copied, length));
    return from_wide(buffer);
}

struct Filter {
    std::optional<std::wstring> class_name;
    std::optional<std::wstring> title;
    std::optional<DWORD> pid;
};

std::vector<HWND> top_level_windows(const Filter& filter) {
    struct Search {
        const Filter* filter;
        std::vector<HWND> found;
    } search{&filter, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            wchar_t name[256];
            if (s.filter->class_name && (!GetClassNameW(hwnd, name, 256) ||
                                         lstrcmpiW(name, s.filter->class_name->c_str()) != 0))
                return TRUE;
            if (s.filter->title) {
                wchar_t title[512];
                title[0] = L'\0';
                GetWindowTextW(hwnd, title, 512);
                if (*s.filter->title != title) return TRUE;
            }
            if (s.filter->pid) {
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                if (pid != *s.filter->pid) return TRUE;
            }
            s.found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> child_windows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND hwnd, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

// Reads the options shared by the commands that pick top-level windows.
// Returns the index of the first argument it did not take, or nothing on a
// malformed option.
std::optional<int> read_filter(int argc, wchar_t** argv, int i, Filter& filter) {
    for (; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        if (option == L"--class") {
            filter.class_name = argv[i + 1];
        } else if (option == L"--title") {
            filter.title = argv[i + 1];
        } else if (option == L"--pid") {
            const auto pid = parse_number(argv[i + 1]);
            if (!pid) return std::nullopt;
            filter.pid = static_cast<DWORD>(*pid);
        } else {
            break;
        }
    }
    return i;
}

void write_window(Json& json, HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t title[512];
    title[0] = L'\0';
    GetWindowTextW(hwnd, title, 512);
    RECT window{}, client{};
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);

    json.begin_object();
    json.key("hwnd");
    json.value(hwnd_number(hwnd));
    json.key("class");
    json.value(from_wide(class_of(hwnd)));
    json.key("title");
    json.value(from_wide(title));
    json.key("pid");
    json.value(std::int64_t{pid});
    json.key("owner");
    json.value(hwnd_number(GetWindow(hwnd, GW_OWNER)));
    json.key("visible");
    json.value(IsWindowVisible(hwnd) != FALSE);
    json.key("enabled");
    json.value(IsWindowEnabled(hwnd) != FALSE);
    json.key("minimized");
    json.value(IsIconic(hwnd) != FALSE);
    json.key("rect");
    json.rect(window);
    json.key("client");  // in screen coordinates
    json.rect(client);
    json.end_object();
}

// Items of a list box or combo box; LB_GETTEXT and CB_GETLBTEXT are carried
// across processes by the system like WM_GETTEXT.
void write_items(Json& json, HWND hwnd, bool combo) {
    const UINT get_count = combo ? CB_GETCOUNT : LB_GETCOUNT;
    const UINT get_length = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    const UINT get_text = combo ? CB_GETLBTEXT : LB_GETTEXT;
    const UINT get_selection = combo ? CB_GETCURSEL : LB_GETCURSEL;

    DWORD_PTR count = 0;
    SendMessageTimeoutW(hwnd, get_count, 0, 0, SMTO_ABORTIFHUNG, k_send_timeout_ms, &count);
    json.key("items");
    json.begin_array();
    for (DWORD_PTR i = 0; i<count&& static_cast<LONG_PTR>(count)> 0; ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(hwnd, get_length, i, 0, SMTO_ABORTIFHUNG, k_send_timeout_ms, &length);
        std::wstring item(static_cast<LONG_PTR>(length) > 0 ? length + 1 : 1, L'\0');
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(hwnd, get_text, i, reinterpret_cast<LPARAM>(item.data()),
                            SMTO_ABORTIFHUNG, k_send_timeout_ms, &copied);
        item.resize(static_cast<LONG_PTR>(copied) > 0 ? std::min<std::size_t>(copied, length) : 0);
        json.value(from_wide(item));
    }
    json.end_array();
    DWORD_PTR selection = 0;
    SendMessageTimeoutW(hwnd, get_selection, 0, 0, SMTO_ABORTIFHUNG, k_send_timeout_ms, &selection);
    json.key("selection");  // -1 when nothing is selected
    json.value(std::int64_t{static_cast<LONG_PTR>(selection)});
}

int cmd_windows(int argc, wchar_t** argv) {
    Filter filter;
    const auto next = read_filter(argc, argv, 2, filter);
    if (!next || *next != argc) return usage();
    Json json;
    json.begin_array();
    for (HWND hwnd : top_level_windows(filter)) write_window(json, hwnd);
    json.end_array();
    print(json);
    return 0;
}

int cmd_controls(int argc, wchar_t** argv) {
    if (argc != 3) return usage();
    const auto number = parse_number(argv[2]);
    if (!number) return usage();
    const HWND parent = to_hwnd(*number);
    if (!IsWindow(parent)) return 1;

    Json json;
    json.begin_object();
    json.key("hwnd");
    json.value(hwnd_number(parent));
    json.key("class");
    json.value(from_wide(class_of(parent)));
    json.key("text");
    json.value(text_of(parent));
    json.key("controls");
    json.begin_array();
    for (HWND child : child_windows(parent)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        const std::wstring cls = class_of(child);
        json.begin_object();
        json.key("hwnd");
        json.value(hwnd_number(child));
        json.key("class");
        json.value(from_wide(cls));
        json.key("id");
        json.value(std::int64_t{GetDlgCtrlID(child)});
        json.key("text");
        json.value(text_of(child));
        json.key("visible");
        json.value(IsWindowVisible(child) != FALSE);
        json.key("enabled");
        json.value(IsWindowEnabled(child) != FALSE);
        json.key("rect");  // in the parent's client coordinates
        json.rect(r);
        if (is_class(cls, L"ListBox")) write_items(json, child, false);
        if (is_class(cls, L"ComboBox")) write_items(json, child, true);
        json.end_object();
    }
    json.end_array();
    json.end_object();
    print(json);
    return 0;
}

int cmd_boxes(int argc, wchar_t** argv) {
    Filter filter;
    filter.class_name = L"#32770";
    const auto next = read_filter(argc, argv, 2, filter);
    if (!next || *next != argc || filter.title) return usage();
    Json json;
    json.begin_array();
    for (HWND box : top_level_windows(filter)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(box, &pid);
        std::vector<HWND> buttons;
        json.begin_object();
        json.key("hwnd");
        json.value(hwnd_number(box));
        json.key("title");
        json.value(text_of(box));
        json.key("pid");
        json.value(std::int64_t{pid});
        json.key("owner");
        json.value(hwnd_number(GetWindow(box, GW_OWNER)));
        json.key("visible");
        json.value(IsWindowVisible(box) != FALSE);
        json.key("texts");  // the non-empty static texts: the message itself
        json.begin_array();
        for (HWND child : child_windows(box)) {
            const std::wstring cls = class_of(child);
            if (is_class(cls, L"Button")) {
                buttons.push_back(child);
            } else if (is_class(cls, L"Static")) {
                const std::string text = text_of(child);
                if (!text.empty()) json.value(text);
            }
        }
        json.end_array();
        json.key("buttons");
        json.begin_array();
        for (HWND button : buttons) {
            json.begin_object();
            json.key("id");
            json.value(std::int64_t{GetDlgCtrlID(button)});
            json.key("text");
            json.value(text_of(button));
            json.end_object();
        }
        json.end_array();
        json.end_object();
    }
    json.end_array();
    print(json);
    return 0;
}

int cmd_post(int argc, wchar_t** argv) {
    HWND target = nullptr;
    int i = 2;
    if (argc > 2 && std::wstring(argv[2]).starts_with(L"--")) {
        Filter filter;
        const auto next = read_filter(argc, argv, 2, filter);
        if (!next || !filter.class_name) return usage();
        i = *next;
        const auto found = top_level_windows(filter);
        if (found.empty()) return 1;
        target = found.front();
    } else if (argc > 2) {
        const auto number = parse_number(argv[2]);
        if (!number) return usage();
        target = to_hwnd(*number);
        i = 3;
    }
    if (argc != i + 3) return usage();
    const auto msg = parse_number(argv[i]);
    const auto wparam = parse_number(argv[i + 1]);
    const auto lparam = parse_number(argv[i + 2]);
    if (!msg || !wparam || !lparam) return usage();
    if (!IsWindow(target)) return 1;
    const bool ok = PostMessageW(target, static_cast<UINT>(*msg), static_cast<WPARAM>(*wparam),
                                 static_cast<LPARAM>(*lparam)) != FALSE;
    Json json;
    json.begin_object();
    json.key("hwnd");
    json.value(hwnd_number(target));
    json.key("posted");
    json.value(ok);
    json.end_object();
    print(json);
    return ok ? 0 : 1;
}

int cmd_click(int argc, wchar_t** argv) {
    if (argc != 4) return usage();
    const auto parent = parse_number(argv[2]);
    const auto id = parse_number(argv[3]);
    if (!parent || !id) return usage();
    const HWND button = GetDlgItem(to_hwnd(*parent), static_cast<int>(*id));
    if (!button) return 1;
    // Posted: a click that opens a modal box must not block the probe.
    const bool ok = PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
    Json json;
    json.begin_object();
    json.key("hwnd");
    json.value(hwnd_number(button));
    json.key("posted");
    json.value(ok);
    json.end_object();
    print(json);
    return ok ? 0 : 1;
}

// Wine answers GetProcessHandleCount with 0; its system handle table is
// complete, so the handles are counted there instead.
DWORD handles_in_system_table(DWORD pid) {
    struct Entry {
        ULONG owner_pid;
        BYTE object_type;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    constexpr ULONG k_system_handle_information = 16;
    constexpr LONG k_info_length_mismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(k_system_handle_information, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == k_info_length_mismatch && buffer.size() < (1u << 28)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status < 0) return 0;
        break;
    }
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < table->count; ++i) count += table->entries[i].owner_pid == pid;
    return count;
}

int cmd_stats(int argc, wchar_t** argv) {
    if (argc != 3) return usage();
    const auto number = parse_number(argv[2]);
    if (!number) return usage();
    DWORD pid = 0;
    GetWindowThreadProcessId(to_hwnd(*number), &pid);
    if (!pid) return 1;
    const tolvar::core::win::UniqueHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return 1;
    DWORD handles = 0;
    if (!GetProcessHandleCount(process.get(), &handles) || handles == 0)
        handles = handles_in_system_table(pid);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                         sizeof memory);
    // Wine leaves PrivateUsage at 0 but fills PagefileUsage, which Windows
    // defines as the same private commit.
    const SIZE_T private_bytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    Json json;
    json.begin_object();
    json.key("pid");
    json.value(std::int64_t{pid});
    json.key("handles");
    json.value(std::int64_t{handles});
    json.key("working_set");
    json.value(static_cast<std::int64_t>(memory.WorkingSetSize));
    json.key("private_bytes");
    json.value(static_cast<std::int64_t>(private_bytes));
    // Wine reports 0 for both; kept for runs on Windows.
    json.key("gdi_objects");
    json.value(std::int64_t{GetGuiResources(process.get(), GR_GDIOBJECTS)});
    json.key("user_objects");
    json.value(std::int64_t{GetGuiResources(process.get(), GR_USEROBJECTS)});
    json.end_object();
    print(json);
    return 0;
}

// The Windows clipboard's sequence number, which every change to it moves:
// a test that puts text on the X clipboard waits for Wine's import to move it
// before a program copies, or the late import would replace the program's
// copy. Read without opening the clipboard, so no owner is asked to render
// anything and the answer never waits.
int cmd_clipboard() {
    Json json;
    json.begin_object();
    json.key("sequence");
    json.value(std::int64_t{GetClipboardSequenceNumber()});
    json.key("text");
    json.value(IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE);
    json.end_object();
    print(json);
    return 0;
}

// Puts text (UTF-8, in hexadecimal so that line ends pass the serve
// protocol) on the Windows clipboard. A marker put there from the Windows
// side leaves Wine nothing to import from X later, so a program's copy made
// after it cannot be replaced by it.
int cmd_set_clipboard(int argc, wchar_t** argv) {
    if (argc != 3) return usage();
    const std::wstring hex = argv[2];
    if (hex.size() % 2) return usage();
    std::string utf8;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const auto nibble = [](wchar_t c) -> int {
            if (c >= L'0' && c <= L'9') return c - L'0';
            if (c >= L'a' && c <= L'f') return c - L'a' + 10;
            if (c >= L'A' && c <= L'F') return c - L'A' + 10;
            return -1;
        };
        const int high = nibble(hex[i]), low = nibble(hex[i + 1]);
        if (high < 0 || low < 0) return usage();
        utf8.push_back(static_cast<char>(high * 16 + low));
    }
    const std::wstring text = tolvar::core::win::to_wide(utf8);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (!memory) return 1;
    void* bytes = GlobalLock(memory);
    std::memcpy(bytes, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    // Another process may hold the clipboard open for a moment.
    bool open = false;
    for (int attempt = 0; attempt < 50 && !(open = OpenClipboard(nullptr) != FALSE); ++attempt)
        Sleep(20);
    if (!open) {
        GlobalFree(memory);
        return 1;
    }
    EmptyClipboard();
    const bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!set) GlobalFree(memory);
    CloseClipboard();
    if (!set) return 1;
    return cmd_clipboard();
}

// WM_NULL round trips to a window, one every INTERVAL_MS: how long its
// thread takes to answer a message while it works. A trip the window does
// not answer within the send timeout counts as that timeout.
int cmd_ping(int argc, wchar_t** argv) {
    if (argc != 5) return usage();
    const auto number = parse_number(argv[2]);
    const auto count = parse_number(argv[3]);
    const auto interval = parse_number(argv[4]);
    if (!number || !count || !interval || *count < 1 || *count > 10000 || *interval < 0)
        return usage();
    const HWND target = to_hwnd(*number);
    if (!IsWindow(target)) return 1;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<std::int64_t> trips;
    std::int64_t unanswered = 0;
    for (std::int64_t i = 0; i < *count; ++i) {
        if (i) Sleep(static_cast<DWORD>(*interval));
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        DWORD_PTR result = 0;
        const bool answered = SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL,
                                                  k_send_timeout_ms, &result) != 0;
        QueryPerformanceCounter(&after);
        if (!answered) {
            if (!IsWindow(target)) return 1;
            ++unanswered;
        }
        trips.push_back((after.QuadPart - before.QuadPart) * 1000000 / frequency.QuadPart);
    }
    Json json;
    json.begin_object();
    json.key("hwnd");
    json.value(hwnd_number(target));
    json.key("unanswered");
    json.value(unanswered);
    json.key("trips_us");
    json.begin_array();
    for (const auto trip : trips) json.value(trip);
    json.end_array();
    json.end_object();
    print(json);
    return 0;
}

// The desktop's foreground window and, in its thread, the window with the
// keyboard focus (0 when none): where typed keys go, in Win32's terms.
int cmd_foreground() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const bool known = GetGUIThreadInfo(0, &info) != FALSE;
    Json json;
    json.begin_object();
    json.key("hwnd");
    json.value(hwnd_number(GetForegroundWindow()));
    json.key("focus");
    json.value(hwnd_number(known ? info.hwndFocus : nullptr));
    json.end_object();
    print(json);
    return 0;
}

int run(int argc, wchar_t** argv) {
    if (argc < 2) return usage();
    const std::wstring command = argv[1];
    if (command == L"windows") return cmd_windows(argc, argv);
    if (command == L"controls") return cmd_controls(argc, argv);
    if (command == L"boxes") return cmd_boxes(argc, argv);
    if (command == L"post") return cmd_post(argc, argv);
    if (command == L"click") return cmd_click(argc, argv);
    if (command == L"stats") return cmd_stats(argc, argv);
    if (command == L"clipboard") return cmd_clipboard();
    if (command == L"set-clipboard") return cmd_set_clipboard(argc, argv);
    if (command == L"ping") return cmd_ping(argc, argv);
    if (command == L"foreground" && argc == 2) return cmd_foreground();
    return usage();
}

int serve() {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        pending.append(buffer, read);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::wstring command = L"probe " + tolvar::core::win::to_wide(line);
            int argc = 0;
            wchar_t** argv = CommandLineToArgvW(command.c_str(), &argc);
            g_printed = false;
            const int status = argv ? run(argc, argv) : 2;
            if (argv) LocalFree(argv);
            if (!g_printed) {
                Json json;
                json.begin_object();
                json.key("error");
                json.value(std::int64_t{status});
                json.end_object();
                print(json);
            }
        }
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"serve") return serve();
    return run(argc, argv);
}
