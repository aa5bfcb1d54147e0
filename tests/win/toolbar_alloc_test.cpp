#include "framework/CLToolbar.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

// Every allocation through the global operators is counted while counting is on.
#include "tests/win/support/AllocationCounter.inc"

namespace {

INT_PTR CALLBACK Plain_DialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class ToolbarAllocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
        InitCommonControlsEx(&classes);
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        dialog_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_LESSON), nullptr,
                                     Plain_DialogProc, 0);
        ASSERT_NE(nullptr, dialog_);
        menu_ = GetMenu(dialog_);
        ASSERT_NE(nullptr, toolbar_.Create(dialog_, IDC_TOOLBAR, instance, 0, 0, 1, 1, 0x50000124));
        toolbar_.Add_Button(TBSTYLE_SEP, 0, nullptr, 0, nullptr);
        toolbar_.Add_Button(TBSTYLE_BUTTON, IDB_LISTEN, nullptr, IDC_LISTEN, nullptr);
        toolbar_.Add_Button(TBSTYLE_SEP, 0, nullptr, 0, nullptr);
        toolbar_.Add_Button(TBSTYLE_BUTTON, IDB_DERIVED, nullptr, IDC_DERIVED, nullptr);
        toolbar_.Add_Button(TBSTYLE_BUTTON, IDB_SHOWANSWER, nullptr, IDC_SHOWANSWER, nullptr);
        toolbar_.Set_NotifyWindow(dialog_);
        toolbar_.Set_ToolTips(menu_);
    }

    void TearDown() override { DestroyWindow(dialog_); }

    HWND dialog_ = nullptr;
    HMENU menu_ = nullptr;
    CLToolbar toolbar_;
};

TEST_F(ToolbarAllocationTest, CounterSeesAllocations) {
    allocation_counter::g_allocations = 0;
    allocation_counter::g_counting = true;
    std::vector<int>* values = new std::vector<int>(100);
    allocation_counter::g_counting = false;
    delete values;
    // The replaced operator new serves every object of the executable, the
    // toolbar's included, so a zero below means the toolbar did not allocate.
    EXPECT_EQ(2, allocation_counter::g_allocations);
}

TEST_F(ToolbarAllocationTest, UpdateStateAllocatesNothing) {
    allocation_counter::g_allocations = 0;
    allocation_counter::g_counting = true;
    for (int i = 0; i < 10000; ++i) {
        // Alternate the state so that the buttons really change.
        CheckMenuItem(menu_, IDC_DERIVED, MF_BYCOMMAND | ((i & 1) != 0 ? MF_CHECKED : 0));
        toolbar_.Update_State(menu_);
    }
    allocation_counter::g_counting = false;
    std::printf("allocations in 10000 Update_State calls: %ld\n",
                allocation_counter::g_allocations);
    EXPECT_EQ(0, allocation_counter::g_allocations);
    // The last call saw the item checked.
    EXPECT_TRUE(SendMessageA(toolbar_.Get_Handle(), TB_ISBUTTONCHECKED, IDC_DERIVED, 0));
}

} // namespace
