#include "app/main_window_controls.h"

#include <array>

namespace lumvex {
namespace {

template <typename Enum, std::size_t N>
std::string_view Lookup(const std::array<std::string_view, N>& table, Enum value) {
  const auto index = static_cast<std::size_t>(value);
  return index < N ? table[index] : std::string_view();
}

constexpr std::array<std::string_view, kCommandCount> kCommandCaptions = {
    "获取代理IP", "验证代理IP", "保存代理IP", "清理失败IP", "导入代理IP", "删除",
    "清空",       "【设置】",   "添加代理IP", "粘贴代理IP", "停止验证",   "软件更新"};
constexpr std::array<std::string_view, kCommandCount> kCommandFormNames = {
    "按钮1", "按钮2", "按钮3", "按钮4",  "按钮5",  "按钮6",
    "按钮7", "按钮8", "按钮9", "按钮10", "按钮11", "按钮12"};
constexpr std::array<std::string_view, kContextItemCount> kContextCaptions = {
    "获取代理IP(&H)", "获取任意国家IP(&R)", "验证选定代理IP(&V)",
    "复制选定IP(&C)", "修改选定IP(&M)",     "删除选定IP(&D)",
    "清理失败IP(&Q)", "设置IE代理(&S)",     "取消代理(&Z)",
    "从网址导入代理IP(&U)", "使用本地网关(&G)", "后台复查(&B)"};
constexpr std::array<std::string_view, kTrayItemCount> kTrayCaptions = {"关于『LumvexIP代理验证』",
                                                                        "www.lumvex.example.com",
                                                                        "退出程序",
                                                                        "弹出窗口",
                                                                        "最小化",
                                                                        "切换IE代理",
                                                                        "取消IE代理",
                                                                        "代理IE一",
                                                                        "自动切换代理",
                                                                        "使用本地网关"};
// An item that does the same kind of thing as another shares its icon: the import from a web
// address shows the fetch icon.
constexpr std::array<std::string_view, kContextItemCount> kContextIcons = {
    "menu-fetch",       "menu-fetch-any-country",
    "menu-validate",    "menu-copy",
    "menu-modify",      "menu-delete",
    "menu-clean",       "menu-proxy-set",
    "menu-proxy-cancel", "menu-fetch",
    "menu-proxy-set", "menu-validate"};
constexpr std::array<std::string_view, kTrayItemCount> kTrayIcons = {
    "menu-about", "", "menu-exit", "", "", "menu-proxy-set", "menu-proxy-cancel", "", "", ""};
constexpr std::array<std::string_view, kComboCount> kComboFormNames = {"组合框2", "组合框3",
                                                                       "组合框4"};
constexpr std::array<std::string_view, kRadioCount> kRadioFormNames = {"单选框1", "单选框2"};
constexpr std::array<std::string_view, kCounterCount> kCounterFormNames = {"标签1", "标签2",
                                                                           "标签3"};
constexpr std::array<std::string_view, kLabelCount> kLabelFormNames = {"透明标签7", "透明标签1"};
constexpr std::array<std::string_view, kLinkCount> kLinkFormNames = {"超级链接框1", "超级链接框2",
                                                                     "超级链接框3"};

}  // namespace

std::string_view CommandCaption(Command command) { return Lookup(kCommandCaptions, command); }
std::string_view CommandFormName(Command command) { return Lookup(kCommandFormNames, command); }
std::string_view ContextItemCaption(ContextItem item) { return Lookup(kContextCaptions, item); }
std::string_view TrayItemDefaultCaption(TrayItem item) { return Lookup(kTrayCaptions, item); }
std::string_view ComboFormName(Combo combo) { return Lookup(kComboFormNames, combo); }
std::string_view RadioFormName(Radio radio) { return Lookup(kRadioFormNames, radio); }
std::string_view CounterFormName(Counter counter) { return Lookup(kCounterFormNames, counter); }
std::string_view LabelFormName(Label label) { return Lookup(kLabelFormNames, label); }
std::string_view LinkFormName(Link link) { return Lookup(kLinkFormNames, link); }
std::string_view ContextItemIconName(ContextItem item) { return Lookup(kContextIcons, item); }
std::string_view TrayItemIconName(TrayItem item) { return Lookup(kTrayIcons, item); }

std::string_view ProxyIndicatorIconName(ProxyIndicator indicator) {
  return indicator == ProxyIndicator::kProxyOn ? "proxy-on" : "proxy-off";
}

std::vector<MenuEntry<ContextItem>> ContextMenuLayout() {
  using E = MenuEntry<ContextItem>;
  const E sep{true, {}};
  return {E{false, ContextItem::kFetch},
          E{false, ContextItem::kFetchAnyCountry},
          E{false, ContextItem::kImportFromUrl},
          sep,
          E{false, ContextItem::kValidateSelected},
          E{false, ContextItem::kBackgroundRecheck},
          sep,
          E{false, ContextItem::kCopy},
          sep,
          E{false, ContextItem::kModify},
          E{false, ContextItem::kDelete},
          E{false, ContextItem::kCleanFailed},
          sep,
          E{false, ContextItem::kSetSystemProxy},
          E{false, ContextItem::kCancelProxy},
          E{false, ContextItem::kGateway}};
}

std::vector<MenuEntry<TrayItem>> TrayMenuLayout() {
  using E = MenuEntry<TrayItem>;
  const E sep{true, {}};
  return {E{false, TrayItem::kAbout},
          E{false, TrayItem::kWebSite},
          sep,
          E{false, TrayItem::kExit},
          sep,
          E{false, TrayItem::kRestore},
          E{false, TrayItem::kMinimise},
          sep,
          E{false, TrayItem::kSwitchProxy},
          E{false, TrayItem::kCancelProxy},
          E{false, TrayItem::kGuard},
          E{false, TrayItem::kGateway},
          sep,
          E{false, TrayItem::kSavedProxy}};
}

}  // namespace lumvex
