// The proxy edit dialog's logic: adding a proxy by hand below the current row, and changing the
// current row's address and port and the note of every selected row. The dialog form itself is
// the front end's; it calls these on "确定".
#pragma once

#include <string>
#include <string_view>

#include "app/main_window_state.h"
#include "config/user_prompts.h"
#include "proxylist/proxy_list.h"

namespace lumvex {

// How the dialog was opened (EditMode): "添加代理" adds, anything else modifies.
enum class EditMode { kAdd, kModify };

inline constexpr std::string_view kProxyEditFormCaption = "代理信息";
inline constexpr std::string_view kAddAddressMissing = "请输入服务器代理IP地址！  ";
inline constexpr std::string_view kAddPortMissing = "请输入服务端口！  ";

// "添加代理IP" or "修改代理IP".
std::string_view ProxyEditTitle(EditMode mode);

// What the dialog shows and returns: the address box as dotted text (empty when blank), the
// port and the note as typed.
struct ProxyEditFields {
  std::string address;
  std::string port;
  std::string note;

  friend bool operator==(const ProxyEditFields&, const ProxyEditFields&) = default;
};

// All methods run on the UI thread.
class ProxyEditController {
 public:
  ProxyEditController(MainWindowState& state, ProxyList& list, UserPrompts& prompts);

  // Modify mode's starting fields: columns 0, 1 and 4 of the current row (empty without one).
  ProxyEditFields FieldsOfCurrentRow() const;

  // "确定" in add mode: a missing address or a port of only spaces shows its message and returns
  // false (the dialog stays open); otherwise inserts the row below the current one (at the top
  // without a current row), updates the counter and status, enables "验证代理IP", and returns true.
  bool ConfirmAdd(const ProxyEditFields& fields);

  // "确定" in modify mode: the current row gets the address and port, every selected row the
  // note. Nothing is validated.
  void ConfirmModify(const ProxyEditFields& fields);

 private:
  MainWindowState& state_;
  ProxyList& list_;
  UserPrompts& prompts_;
};

}  // namespace lumvex
