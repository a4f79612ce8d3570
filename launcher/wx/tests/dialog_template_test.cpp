// The windows made from the template tables: every control where the table
// puts it, with its id, text and styles.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/dataview.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "dialog_template.h"
#include "gui_test_support.h"
#include "resource.h"

using namespace ardmon;

namespace {

wxRect Expected(wxDialog& dlg_, int x, int y, int cx, int cy)
{
    const wxPoint a = dlg_.ConvertDialogToPixels(wxPoint(x, y));
    const wxPoint b = dlg_.ConvertDialogToPixels(wxPoint(x + cx, y + cy));
    return wxRect(a, wxSize(b.x - a.x, b.y - a.y));
}

class TemplateTest : public testing::Test {
protected:
    void TearDown() override { dlg_->Destroy(); }
    wxDialog* dlg_ = new wxDialog;
};

TEST_F(TemplateTest, MainWindowHasEveryControlOfItsTable)
{
    ASSERT_TRUE(CreateFromTemplate(*dlg_, nullptr, IDD_ARDMON_DIALOG));
    EXPECT_EQ(dlg_->GetTitle(), "Halvo Launcher");
    EXPECT_EQ(dlg_->GetClientSize(), dlg_->ConvertDialogToPixels(wxSize(278, 121)));
    EXPECT_FALSE(dlg_->HasFlag(wxRESIZE_BORDER));

    const struct {
        int id;
        const char* label;
        int x, y, cx, cy;
    } buttons[] = {
        {IDC_LOAD, "&Load", 165, 23, 50, 16},
        {IDC_CANCEL, "Cancel", 196, 0, 6, 6},
        {IDC_VIEW_CLIENT, "&View", 163, 66, 50, 14},
        {IDC_VIEW_PROFILE, "V&iew", 221, 23, 44, 16},
        {IDC_START_TRADER, "&Start Trader", 80, 91, 46, 21},
        {IDC_LAUNCH, "&Launch Halvo Trader", 126, 91, 74, 21},
    };
    for (const auto& b : buttons) {
        auto* button = dynamic_cast<wxButton*>(dlg_->FindWindow(b.id));
        ASSERT_NE(button, nullptr) << b.id;
        EXPECT_EQ(button->GetLabel(), b.label) << b.id;
        EXPECT_EQ(button->GetRect(), Expected(*dlg_, b.x, b.y, b.cx, b.cy)) << b.id;
    }
    EXPECT_EQ(dlg_->GetDefaultItem(), dlg_->FindWindow(IDC_LOAD));
    EXPECT_FALSE(dlg_->FindWindow(IDC_CANCEL)->IsShown());
    EXPECT_TRUE(dlg_->FindWindow(IDC_START_TRADER)->HasFlag(wxBU_NOTEXT));
    // Its face shows only an icon: assistive technology reads the name.
    EXPECT_STREQ(
        atk_object_get_name(gtk_widget_get_accessible(dlg_->FindWindow(IDC_START_TRADER)->GetHandle())),
        "Start Trader");
    EXPECT_TRUE(dlg_->FindWindow(IDC_LAUNCH)->HasFlag(wxBORDER_NONE));

    auto* combo = dynamic_cast<wxComboBox*>(dlg_->FindWindow(IDC_PROFILES));
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->HasFlag(wxCB_SORT));
    EXPECT_EQ(combo->GetPosition(), Expected(*dlg_, 13, 26, 137, 86).GetPosition());
    EXPECT_LT(combo->GetSize().y, Expected(*dlg_, 13, 26, 137, 86).GetHeight());
    combo->Append("b.ini");
    combo->Append("A.ini");
    combo->Append("C.ini");
    EXPECT_EQ(combo->GetString(0), "A.ini");
    EXPECT_EQ(combo->GetString(1), "b.ini");

    auto* edit = dynamic_cast<wxTextCtrl*>(dlg_->FindWindow(IDC_CURRENT_ENV));
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->IsEditable());
    EXPECT_EQ(edit->GetRect(), Expected(*dlg_, 11, 65, 133, 14));

    std::vector<std::string> labels;
    for (wxWindow* child : dlg_->GetChildren()) {
        if (child->GetId() == IDC_STATIC) {
            labels.push_back(child->GetLabel().ToStdString() +
                             (dynamic_cast<wxStaticBox*>(child) ? "[box]" : ""));
        }
    }
    EXPECT_THAT(labels, testing::UnorderedElementsAre("Load from", "Current Environment", "Workstation[box]",
                                                      "[box]"));
}

TEST_F(TemplateTest, ViewerHasEveryControlOfItsTable)
{
    ASSERT_TRUE(CreateFromTemplate(*dlg_, nullptr, IDD_INIVIEW));
    EXPECT_EQ(dlg_->GetTitle(), "View Environment");
    EXPECT_EQ(dlg_->GetClientSize(), dlg_->ConvertDialogToPixels(wxSize(456, 272)));
    EXPECT_TRUE(dlg_->HasFlag(wxRESIZE_BORDER));
    EXPECT_FALSE(dlg_->HasFlag(wxMAXIMIZE_BOX));
    EXPECT_FALSE(dlg_->IsShown());

    EXPECT_EQ(dlg_->FindWindow(IDC_GET_KEYS)->GetLabel(), "&Get Keys");
    EXPECT_EQ(dlg_->GetDefaultItem(), dlg_->FindWindow(IDC_GET_KEYS));
    EXPECT_EQ(dlg_->FindWindow(IDC_GET_KEYS)->GetRect(), Expected(*dlg_, 51, 242, 45, 14));
    EXPECT_FALSE(dlg_->FindWindow(IDC_CANCEL)->IsShown());
    EXPECT_EQ(dlg_->FindWindow(IDC_CANCEL)->GetRect(), Expected(*dlg_, 444, 4, 7, 6));

    auto* sections = dynamic_cast<wxListBox*>(dlg_->FindWindow(IDC_SECTIONS));
    ASSERT_NE(sections, nullptr);
    EXPECT_FALSE(sections->HasFlag(wxLB_SORT));
    EXPECT_EQ(sections->GetRect(), Expected(*dlg_, 6, 25, 143, 214));
    // GTK's own list (a tree view), readable by assistive technology.
    auto* keys = dynamic_cast<wxDataViewListCtrl*>(dlg_->FindWindow(IDC_KEYS));
    ASSERT_NE(keys, nullptr);
    EXPECT_TRUE(GTK_IS_TREE_VIEW(keys->GtkGetTreeView()));
    EXPECT_EQ(keys->GetRect(), Expected(*dlg_, 154, 24, 295, 232));
    auto* box = dynamic_cast<wxStaticBox*>(dlg_->FindWindow(IDC_STATIC));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetRect(), Expected(*dlg_, 1, 17, 451, 246));
    auto* name = dynamic_cast<wxTextCtrl*>(dlg_->FindWindow(IDC_FILE_NAME));
    ASSERT_NE(name, nullptr);
    EXPECT_FALSE(name->IsEditable());
    EXPECT_EQ(name->GetRect(), Expected(*dlg_, 12, 3, 119, 14));
}

}  // namespace
