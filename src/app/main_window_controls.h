// Names of the main window's controls as the program speaks of them: commands by caption, widgets
// by form name (which the Qt window uses as objectName), menus as ordered data.
#pragma once

#include <string_view>
#include <vector>

namespace lumvex {

// Command buttons. Comment: form name, caption.
enum class Command : int {
  kFetch = 0,       // 按钮1 "获取代理IP"
  kValidate,        // 按钮2 "验证代理IP"
  kExport,          // 按钮3 "保存代理IP"
  kCleanFailed,     // 按钮4 "清理失败IP"
  kImport,          // 按钮5 "导入代理IP"
  kDeleteRow,       // 按钮6 "删除"
  kClearList,       // 按钮7 "清空"
  kSettings,        // 按钮8 "【设置】"
  kAddProxy,        // 按钮9 "添加代理IP"
  kPaste,           // 按钮10 "粘贴代理IP"
  kStopValidation,  // 按钮11 "停止验证"
  kUpdateCheck,     // 按钮12 "软件更新"
};
inline constexpr int kCommandCount = 12;

// Items of the list's context menu "操作" (separators are not items).
enum class ContextItem : int {
  kFetch = 0,         // "获取代理IP(&H)"
  kFetchAnyCountry,   // "获取任意国家IP(&R)"
  kValidateSelected,  // "验证选定代理IP(&V)"
  kCopy,              // "复制选定IP(&C)"
  kModify,            // "修改选定IP(&M)"
  kDelete,            // "删除选定IP(&D)"
  kCleanFailed,       // "清理失败IP(&Q)"
  kSetSystemProxy,    // "设置IE代理(&S)"
  kCancelProxy,       // "取消代理(&Z)"
  kImportFromUrl,     // "从网址导入代理IP(&U)" (shown below "获取任意国家IP(&R)")
  kGateway,           // "使用本地网关(&G)" (checkable; shown below "取消代理(&Z)")
  kBackgroundRecheck,  // "后台复查(&B)" (checkable; shown below "验证选定代理IP(&V)")
};
inline constexpr int kContextItemCount = 12;

// Items of the tray menu "托盘" (separators are not items).
enum class TrayItem : int {
  kAbout = 0,    // "关于『LumvexIP代理验证』"
  kWebSite,      // the maker's web address (caption replaceable)
  kExit,         // "退出程序"
  kRestore,      // "弹出窗口"
  kMinimise,     // "最小化"
  kSwitchProxy,  // "切换IE代理"
  kCancelProxy,  // "取消IE代理"
  kSavedProxy,   // "代理IE一" (caption replaced by the saved proxy; hidden at load)
  kGuard,        // "自动切换代理" (checkable; shown right after "取消IE代理")
  kGateway,      // "使用本地网关" (checkable; shown right after "自动切换代理")
};
inline constexpr int kTrayItemCount = 10;

// Combo boxes. Comment: form name, role.
enum class Combo : int {
  kSourceACategories = 0,  // 组合框2: categories of source A
  kSourceBPages,           // 组合框3: list pages of the chosen source-B database
  kSourceBDatabases,       // 组合框4: databases of source B
};
inline constexpr int kComboCount = 3;

// The two radio buttons, both captioned "获取此数据库代理IP".
enum class Radio : int {
  kSourceA = 0,  // 单选框1
  kSourceB,      // 单选框2
};
inline constexpr int kRadioCount = 2;

// Which radio button is checked; none until the source-A categories have been loaded.
enum class SourceChoice : int { kNone = 0, kSourceA, kSourceB };

// The three counters of the "结果返回区" group.
enum class Counter : int {
  kList = 0,  // 标签1, ListCountLabel
  kSuccess,   // 标签2, SuccessCountLabel
  kFailure,   // 标签3, FailureCountLabel
};
inline constexpr int kCounterCount = 3;

// Plain labels whose caption the program changes.
enum class Label : int {
  kCategoryCount = 0,  // 透明标签7, "当前数据库共有IP："
  kDatabase,           // 透明标签1, "代理IP数据库："
};
inline constexpr int kLabelCount = 2;

// Hyperlink labels.
enum class Link : int {
  kBlog = 0,  // 超级链接框1, "Lumvex博客"
  kSecond,    // 超级链接框2
  kThird,     // 超级链接框3
};
inline constexpr int kLinkCount = 3;

// Proxy indicator images and icons: the tray icon, 图片框1 and the window icon.
enum class ProxyIndicator : int { kProxyOff = 0, kProxyOn };

// The main window is normal, minimised to the tray (hidden, not in the taskbar) or minimised by
// its title bar (hidden).
enum class WindowMode : int { kNormal = 0, kMinimisedToTray, kMinimised };

// Every control of the window-state table: its kind and its index within that kind. Each enum
// above converts to the control it names; the few single controls are named in `control`.
enum class ControlKind : int {
  kCommand = 0,
  kContextItem,
  kTrayItem,
  kCombo,
  kRadio,
  kCounter,
  kLabel,
  kLink,
  kStatusLine,    // 编辑框3
  kTrayIcon,      // visible = placed, text = tooltip, indicator = picture
  kProxyPicture,  // 图片框1: visible, indicator
  kWindowIcon,    // indicator
  kWindow,        // the main window: value = WindowMode
  kTimer,         // 时钟1: value = interval in milliseconds, 0 = stopped
};
inline constexpr int kControlKindCount = 14;

struct ControlId {
  ControlKind kind = ControlKind::kStatusLine;
  int index = 0;

  constexpr ControlId() = default;
  constexpr ControlId(ControlKind k, int i) : kind(k), index(i) {}
  // Implicit on purpose: `state.SetEnabled(Command::kFetch, false)` names the button directly.
  constexpr ControlId(Command c) : kind(ControlKind::kCommand), index(static_cast<int>(c)) {}
  constexpr ControlId(ContextItem c)
      : kind(ControlKind::kContextItem), index(static_cast<int>(c)) {}
  constexpr ControlId(TrayItem c) : kind(ControlKind::kTrayItem), index(static_cast<int>(c)) {}
  constexpr ControlId(Combo c) : kind(ControlKind::kCombo), index(static_cast<int>(c)) {}
  constexpr ControlId(Radio c) : kind(ControlKind::kRadio), index(static_cast<int>(c)) {}
  constexpr ControlId(Counter c) : kind(ControlKind::kCounter), index(static_cast<int>(c)) {}
  constexpr ControlId(Label c) : kind(ControlKind::kLabel), index(static_cast<int>(c)) {}
  constexpr ControlId(Link c) : kind(ControlKind::kLink), index(static_cast<int>(c)) {}

  friend constexpr bool operator==(const ControlId&, const ControlId&) = default;
};

// How many controls a kind has.
constexpr int ControlCount(ControlKind kind) {
  switch (kind) {
    case ControlKind::kCommand:
      return kCommandCount;
    case ControlKind::kContextItem:
      return kContextItemCount;
    case ControlKind::kTrayItem:
      return kTrayItemCount;
    case ControlKind::kCombo:
      return kComboCount;
    case ControlKind::kRadio:
      return kRadioCount;
    case ControlKind::kCounter:
      return kCounterCount;
    case ControlKind::kLabel:
      return kLabelCount;
    case ControlKind::kLink:
      return kLinkCount;
    default:
      return 1;
  }
}

// The controls that are alone of their kind.
namespace control {
inline constexpr ControlId kStatusLine{ControlKind::kStatusLine, 0};
inline constexpr ControlId kTrayIcon{ControlKind::kTrayIcon, 0};
inline constexpr ControlId kProxyPicture{ControlKind::kProxyPicture, 0};
inline constexpr ControlId kWindowIcon{ControlKind::kWindowIcon, 0};
inline constexpr ControlId kWindow{ControlKind::kWindow, 0};
inline constexpr ControlId kTimer{ControlKind::kTimer, 0};
}  // namespace control

std::string_view CommandCaption(Command command);
std::string_view CommandFormName(Command command);  // "按钮1" ...
std::string_view ContextItemCaption(ContextItem item);
// Default caption; kWebSite and kSavedProxy captions change at run time (see MainWindowState).
std::string_view TrayItemDefaultCaption(TrayItem item);
std::string_view ComboFormName(Combo combo);
std::string_view RadioFormName(Radio radio);
std::string_view CounterFormName(Counter counter);
std::string_view LabelFormName(Label label);
std::string_view LinkFormName(Link link);

// Name of the icon a menu item shows ("" for none): the Qt side loads ":/icons/<name>.svg" (file
// resources/icons/<name>.svg). Items that show the same picture share a name.
std::string_view ContextItemIconName(ContextItem item);
std::string_view TrayItemIconName(TrayItem item);
// Names of the proxy indicator pictures: "proxy-off" / "proxy-on".
std::string_view ProxyIndicatorIconName(ProxyIndicator indicator);

// One entry of a popup menu in display order: an item or a separator.
template <typename Item>
struct MenuEntry {
  bool separator = false;
  Item item{};
};
// The "操作" menu in display order.
std::vector<MenuEntry<ContextItem>> ContextMenuLayout();
// The "托盘" menu in display order. The last separator is the one above kSavedProxy whose
// visibility follows that of kSavedProxy.
std::vector<MenuEntry<TrayItem>> TrayMenuLayout();

// Fixed texts of the main window.
inline constexpr std::string_view kMainWindowTitle = "LumvexIP代理验证 V1.3";
inline constexpr std::string_view kProgramName = "LumvexIP代理验证";
inline constexpr std::string_view kStatusCaption = "代理列表：";  // 标签4

}  // namespace lumvex
