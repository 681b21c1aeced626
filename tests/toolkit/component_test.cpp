#include <gtest/gtest.h>

#include <algorithm>

#include "toolkit/component.h"

namespace {

using SystemWindow::Component;
using SystemWindow::ComponentList;

TEST(Component, WindowlessComponentKeepsOnlyItsStoredFields) {
    Component plain;
    EXPECT_EQ(plain.hwnd, nullptr);
    EXPECT_FALSE(plain.isWindow);
    EXPECT_EQ(plain.GetX(), 0);
    EXPECT_EQ(plain.GetY(), 0);
    EXPECT_EQ(plain.GetWidth(), 800);
    EXPECT_EQ(plain.GetHeight(), 600);
    EXPECT_FALSE(plain.visible);
    EXPECT_EQ(plain.onClick, nullptr);

    plain.SetWidth(1366);
    EXPECT_EQ(plain.GetWidth(), 1366);
    plain.SetVisible(true);
    EXPECT_TRUE(plain.visible) << "only the flag changes without a platform window";
}

TEST(Component, TextWithoutPlatformWindowIsStoredAndReadBackEmpty) {
    Component plain;
    plain.SetCaption(L"abc");
    EXPECT_EQ(plain.text, L"abc");
    plain.SetCaption(plain.text); // a string assigned to itself stays as it was
    EXPECT_EQ(plain.text, L"abc");
    EXPECT_EQ(plain.GetText(), L"");
    EXPECT_EQ(plain.text, L"") << "reading the absent window's text empties the stored text";

    plain.SetText(std::string("caf\xE9"));
    EXPECT_EQ(plain.text, std::wstring(L"caf") + wchar_t(0xFFE9));
    plain.SetText(std::wstring(L"wide \x0439"));
    EXPECT_EQ(plain.text, L"wide \x0439");
}

TEST(Component, RegistersOnceAndOnlyWhenAsked) {
    const std::size_t before = ComponentList.size();
    auto* object = new Component;
    EXPECT_EQ(ComponentList.size(), before) << "the default constructor does not register";
    EXPECT_EQ(SystemWindow::AddComponent(object), object);
    EXPECT_EQ(SystemWindow::AddComponent(object), nullptr);
    EXPECT_EQ(ComponentList.size(), before + 1);
    EXPECT_EQ(ComponentList.back(), object);
}

} // namespace
