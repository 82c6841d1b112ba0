#include "app/proxy_edit_controller.h"

#include <gtest/gtest.h>

#include "list_rig.h"

namespace lumvex {
namespace {

using testing::Entry;
using testing::ListRig;

struct EditRig : ListRig {
  ProxyEditController edit{state, list, prompts};
};

TEST(ProxyEditControllerTest, TitlesFollowTheMode) {
  EXPECT_EQ(ProxyEditTitle(EditMode::kAdd), "添加代理IP");
  EXPECT_EQ(ProxyEditTitle(EditMode::kModify), "修改代理IP");
}

TEST(ProxyEditControllerTest, AddWithoutCurrentRowBecomesRowZero) {
  EditRig rig;
  rig.list.AddRow(Entry("1.1.1.1", "80"));
  rig.state.SetText(Counter::kList, "1");
  bool closed = false;
  rig.OnUi([&] { closed = rig.edit.ConfirmAdd({"5.5.5.5", " 8080", "备注"}); });
  EXPECT_TRUE(closed);
  EXPECT_EQ(rig.Addresses(), (std::vector<std::string>{"5.5.5.5", "1.1.1.1"}));
  EXPECT_EQ(rig.list.GetCell(0, kColPort), " 8080");  // as typed
  EXPECT_EQ(rig.list.GetCell(0, kColLocation), "备注");
  EXPECT_EQ(rig.list.GetCell(0, kColType), "");
  EXPECT_EQ(rig.state.Text(Counter::kList), "2");
  EXPECT_EQ(rig.state.Text(control::kStatusLine), "共有代理IP：2个");
  EXPECT_TRUE(rig.state.Enabled(Command::kValidate));
}

TEST(ProxyEditControllerTest, AddGoesDirectlyBelowTheCurrentRow) {
  EditRig rig;
  for (int i = 0; i < 6; ++i) rig.list.AddRow(Entry("10.0.0." + std::to_string(i), "80"));
  rig.list.SetCurrentRow(3);
  rig.OnUi([&] { rig.edit.ConfirmAdd({"9.9.9.9", "1", ""}); });
  EXPECT_EQ(rig.list.GetCell(4, kColAddress), "9.9.9.9");
  EXPECT_EQ(rig.list.GetCell(5, kColAddress), "10.0.0.4");
  // The counter is the caption plus one, whatever the list holds.
  EXPECT_EQ(rig.state.Text(Counter::kList), "1");
}

TEST(ProxyEditControllerTest, AddRefusesAMissingAddressOrAPortOfSpaces) {
  EditRig rig;
  bool closed = true;
  rig.OnUi([&] { closed = rig.edit.ConfirmAdd({"", "80", ""}); });
  EXPECT_FALSE(closed);
  rig.OnUi([&] { closed = rig.edit.ConfirmAdd({"1.2.3.4", " 　 ", ""}); });
  EXPECT_FALSE(closed);
  ASSERT_EQ(rig.prompts.messages.size(), 2u);
  EXPECT_EQ(rig.prompts.messages[0].text, "请输入服务器代理IP地址！  ");
  EXPECT_EQ(rig.prompts.messages[1].text, "请输入服务端口！  ");
  EXPECT_EQ(rig.prompts.messages[1].icon, MessageIcon::kInformation);
  EXPECT_EQ(rig.list.ListCount(), 0);
}

TEST(ProxyEditControllerTest, ModifyWithThreeRowsSelected) {
  EditRig rig;
  for (int i = 0; i < 5; ++i) {
    rig.list.AddRow(Entry("10.0.0." + std::to_string(i), "80", "成功", "旧"));
  }
  rig.list.SetCurrentRow(2);
  rig.list.SetSelectedRows({1, 2, 4});
  ProxyEditFields shown;
  rig.OnUi([&] { shown = rig.edit.FieldsOfCurrentRow(); });
  EXPECT_EQ(shown, (ProxyEditFields{"10.0.0.2", "80", "旧"}));
  rig.OnUi([&] { rig.edit.ConfirmModify({"8.8.8.8", "", "新"}); });
  EXPECT_EQ(rig.list.GetCell(2, kColAddress), "8.8.8.8");
  EXPECT_EQ(rig.list.GetCell(2, kColPort), "");
  EXPECT_EQ(rig.list.GetCell(1, kColAddress), "10.0.0.1");
  for (int row : {1, 2, 4}) EXPECT_EQ(rig.list.GetCell(row, kColLocation), "新");
  for (int row : {0, 3}) EXPECT_EQ(rig.list.GetCell(row, kColLocation), "旧");
}

TEST(ProxyEditControllerTest, ModifyWithoutCurrentRowOnlyNotesTheSelection) {
  EditRig rig;
  rig.list.AddRow(Entry("1.1.1.1", "80"));
  rig.list.AddRow(Entry("2.2.2.2", "80"));
  ProxyEditFields shown{"x", "y", "z"};
  rig.OnUi([&] { shown = rig.edit.FieldsOfCurrentRow(); });
  EXPECT_EQ(shown, ProxyEditFields{});
  rig.list.SetSelectedRows({1});
  rig.OnUi([&] { rig.edit.ConfirmModify({"", "", "n"}); });
  EXPECT_EQ(rig.Addresses(), (std::vector<std::string>{"1.1.1.1", "2.2.2.2"}));
  EXPECT_EQ(rig.list.GetCell(1, kColLocation), "n");
  EXPECT_EQ(rig.list.GetCell(0, kColLocation), "");
}

}  // namespace
}  // namespace lumvex
