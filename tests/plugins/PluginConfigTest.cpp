// The plug-in dialog on Qt's offscreen platform, over the real plug-ins in tests/Plugins.
#include "PluginTestSupport.h"

#include "PluginConfig.h"

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QTableWidget>

namespace {

class PluginDialogTest : public PluginHostTest {
protected:
    void SetUp() override
    {
        PluginHostTest::SetUp();
        form.SetPluginConfigTarget(engine->Handle());
    }
    void TearDown() override
    {
        form.btnCloseClick();
        PluginHostTest::TearDown();
    }

    std::string Cell(int row, int column) const
    {
        const QTableWidgetItem* item = form.LoadedGrid()->item(row - 1, column);
        return item ? item->text().toStdString() : std::string();
    }

    void Load(const std::string& name)
    {
        ASSERT_TRUE(form.SelectDetected(name)) << name;
        form.btnLoadClick();
    }

    std::string LastBox() const { return boxes.empty() ? std::string() : boxes.back().first; }

    TPluginConfigForm form;
};

}  // namespace

TEST_F(PluginDialogTest, LoadsWhatTheFolderHoldsAndSaysWhyNot)
{
    form.Show();
    EXPECT_EQ(form.Window()->windowTitle(), QStringLiteral("Input plug-in Configuration"));
    EXPECT_EQ(form.Window()->size(), QSize(591, 338));
    EXPECT_GE(form.DetectedCount(), 3);
    EXPECT_EQ(form.DetectedList()->rowCount(), form.DetectedCount());
    EXPECT_EQ(form.LoadedGrid()->horizontalHeaderItem(1)->text(), QStringLiteral("Decsription"));
    EXPECT_EQ(form.LoadedCount(), 0);

    ASSERT_TRUE(form.SelectDetected("in_tone.so"));
    EXPECT_TRUE(form.LoadButton()->isEnabled());
    form.LoadButton()->click();
    EXPECT_EQ(form.LoadedCount(), 1);
    EXPECT_EQ(Cell(1, 0), "in_tone.so");
    EXPECT_EQ(Cell(1, 1), "Tone generator 1.0");
    EXPECT_EQ(Cell(1, 2), "TON");
    EXPECT_FALSE(form.LoadButton()->isEnabled());  // the selected file is loaded
    form.btnLoadClick();
    EXPECT_EQ(LastBox(), "Load denied : Already loaded before");

    Load("in_noexport.so");
    EXPECT_EQ(LastBox(), "Load denied : Not a valid Winamp 2 input plug-in");
    EXPECT_EQ(boxes.back().second, "Confirm");
    Load("in_notalibrary.so");
    EXPECT_EQ(LastBox(), "Load denied : Unknown Error");
    EXPECT_EQ(form.LoadedCount(), 1);

    // A ninth plug-in.
    std::vector<std::string> copies;
    for (int i = 0; i < 8; ++i)
        copies.push_back(CopyTone("dialog" + std::to_string(i)));
    form.Show();
    for (int i = 0; i < 7; ++i)
        Load(copies[static_cast<size_t>(i)]);
    EXPECT_EQ(form.LoadedCount(), 8);
    Load(copies[7]);
    EXPECT_EQ(LastBox(), "Load denied : Max. number of plug-ins loaded");

    // Showing again rebuilds both lists from the folder and the slots.
    ShutdownPluginHost();
    form.Show();
    EXPECT_EQ(form.LoadedCount(), 0);
    Load("in_tone.so");
    EXPECT_EQ(LastBox(), "Load denied : Output plug-in is not ready");
}

TEST_F(PluginDialogTest, UnloadKeepsTheRowsInSlotOrder)
{
    form.Show();
    form.btnUnloadClick();
    EXPECT_EQ(LastBox(), "No plug-ins are loaded");
    const std::string b = CopyTone("b"), c = CopyTone("c");
    form.Show();
    Load("in_tone.so");
    Load(b);
    Load(c);
    ASSERT_EQ(form.LoadedCount(), 3);

    // The middle one: the grid is filled again from the slots.
    form.SelectLoadedRow(2);
    form.btnUnloadClick();
    EXPECT_EQ(form.LoadedCount(), 2);
    EXPECT_EQ(Cell(1, 0), "in_tone.so");
    EXPECT_EQ(Cell(2, 0), c);
    // The last one: only its row empties, and the row above is selected.
    form.SelectLoadedRow(2);
    form.btnUnloadClick();
    EXPECT_EQ(form.LoadedCount(), 1);
    EXPECT_EQ(Cell(2, 0), "");
    EXPECT_EQ(form.LoadedGrid()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(form.LoadedGrid()->selectionModel()->selectedRows().first().row(), 0);

    // An empty row cannot be selected.
    form.LoadedGrid()->selectRow(4);
    EXPECT_EQ(form.LoadedGrid()->selectionModel()->selectedRows().first().row(), 0);

    // The plug-in that plays.
    ASSERT_EQ(SelectPlugin(0), 0);
    form.btnUnloadClick();
    EXPECT_EQ(LastBox(), "Cannot unload : Plug-in is in use");
    EXPECT_EQ(form.LoadedCount(), 1);
}

TEST_F(PluginDialogTest, AboutConfigureAndPluginFirst)
{
    form.Show();
    form.btnAboutClick();
    EXPECT_EQ(LastBox(), "No plug-ins to query are loaded");
    form.btnConfigureClick();
    EXPECT_EQ(LastBox(), "No plug-ins to configure are loaded");
    Load("in_tone.so");
    form.LoadedGrid()->clearSelection();
    form.btnAboutClick();
    EXPECT_EQ(LastBox(), "Select plug-in to query first");
    form.btnConfigureClick();
    EXPECT_EQ(LastBox(), "Select plug-in to configure first");

    // The plug-in's own windows: in_tone asks the host for a box, shown on this thread.
    form.SelectLoadedRow(1);
    boxes.clear();
    form.btnAboutClick();
    form.btnConfigureClick();
    Pump();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].second, "About in_tone");
    EXPECT_EQ(boxes[1].second, "in_tone");

    // "Plugin First" twice: 1, then 0.
    form.PluginFirstBox()->click();
    form.PluginFirstBox()->click();
    Pump();
    std::vector<LPARAM> first;
    for (const auto& p : posted)
        if (p.msg == 1024 + 109)
            first.push_back(p.lParam);
    EXPECT_EQ(first, (std::vector<LPARAM>{1, 0}));
}
