#include "PluginConfig.h"

#include "MessageBox.h"
#include "PlayerTypes.h"
#include "PluginCtrl.h"
#include "System.h"

#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

constexpr uint32_t kPluginFirstMessage = 1024 + 109;  // WM_PLUGIN_FIRST
constexpr int kRowHeight = 16;

void Confirm(const std::string& text)
{
    ShowMessageBox(text, "Confirm", TMessageIcon::None);
}

QFont ArialNine()
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(9);
    return f;
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
        if (up(a[i]) != up(b[i]))
            return false;
    }
    return true;
}

// The names of the ordinary files Plugins/in_*.so, in name order.
std::vector<std::string> DetectPlugins()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(ProgramFolder() + "Plugins", ec)) {
        const std::string n = e.path().filename().string();
        if (e.is_regular_file(ec) && n.size() > 6 && n.rfind("in_", 0) == 0 && n.substr(n.size() - 3) == ".so")
            names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Draws the detected files: loaded ones in silver, the selected one on the highlight.
class DetectedDelegate : public QStyledItemDelegate {
public:
    DetectedDelegate(QObject* parent, std::function<bool(const std::string&)> loaded)
        : QStyledItemDelegate(parent), loaded_(std::move(loaded))
    {
    }
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const std::string text = index.data().toString().toStdString();
        const bool selected = option.state & QStyle::State_Selected;
        p->save();
        p->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
        QColor color = Qt::black;
        if (!text.empty() && loaded_(text))
            color = QColor(192, 192, 192);
        else if (selected)
            color = Qt::white;
        p->setPen(color);
        p->setFont(ArialNine());
        p->drawText(option.rect.adjusted(3, 1, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(text));
        if (option.state & QStyle::State_HasFocus) {
            p->setPen(QPen(option.palette.text().color(), 1, Qt::DotLine));
            p->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        p->restore();
    }

private:
    std::function<bool(const std::string&)> loaded_;
};

}  // namespace

struct TPluginConfigForm::Ui {
    QDialog* form = nullptr;
    QTableWidget* PluginList = nullptr;
    QTableWidget* PluginGrid = nullptr;
    QPushButton* btnLoad = nullptr;
    QPushButton* btnUnload = nullptr;
    QPushButton* btnAbout = nullptr;
    QPushButton* btnConfigure = nullptr;
    QPushButton* btnClose = nullptr;
    QCheckBox* PluginFirst = nullptr;
    int lastGridRow = -1;  // the last selection of PluginGrid, kept off empty rows
};

TPluginConfigForm::TPluginConfigForm() = default;

TPluginConfigForm::~TPluginConfigForm()
{
    if (ui_)
        delete ui_->form;
}

void TPluginConfigForm::Build()
{
    ui_ = std::make_unique<Ui>();
    auto* f = new QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    ui_->form = f;
    f->setWindowTitle(QStringLiteral("Input plug-in Configuration"));
    f->setFixedSize(591, 338);
    QFont formFont(QStringLiteral("MS Sans Serif"));
    formFont.setPointSize(8);
    f->setFont(formFont);

    auto label = [&](int x, int y, const char* text) {
        auto* l = new QLabel(QString::fromUtf8(text), f);
        l->setFont(ArialNine());
        l->move(x, y);
        l->adjustSize();
    };
    auto button = [&](int x, int y, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), f);
        b->setFont(ArialNine());
        b->setGeometry(x, y, 75, 25);
        return b;
    };
    label(24, 12, "Note : Plug-ins must reside in <program_directory>\\Plugins directory.");
    label(62, 31, "Only Winamp 2 version is acceptable.");
    label(63, 49, "Maximum 8 plug-ins can be loaded simultaneously.");
    ui_->PluginFirst = new QCheckBox(QStringLiteral("Plugin First"), f);
    ui_->PluginFirst->setFont(ArialNine());
    ui_->PluginFirst->setGeometry(24, 74, 88, 17);
    label(114, 73, "( if checked then Winamp plug-in is applied for the file types which can");
    label(122, 90, "be decoded by both BASS and Winamp plug-in )");
    ui_->btnClose = button(480, 24, "Close");
    label(29, 116, "Dected plug-ins");
    label(321, 116, "Loaded plug-ins");

    auto* list = new QTableWidget(10, 1, f);
    ui_->PluginList = list;
    list->setGeometry(10, 136, 145, 157);
    list->horizontalHeader()->hide();
    list->verticalHeader()->hide();
    list->setColumnWidth(0, 143);
    list->verticalHeader()->setDefaultSectionSize(kRowHeight);
    list->verticalHeader()->setMinimumSectionSize(kRowHeight);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setFont(ArialNine());
    list->setItemDelegate(new DetectedDelegate(list, [this](const std::string& n) { return IsLoadedName(n); }));

    auto* grid = new QTableWidget(8, 3, f);
    ui_->PluginGrid = grid;
    grid->setGeometry(164, 136, 417, 158);
    grid->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Decsription"),
                                     QStringLiteral("Playable File Types")});
    grid->horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: silver; }"));
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setFixedHeight(kRowHeight + 2);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid->verticalHeader()->setMinimumSectionSize(kRowHeight);
    grid->setColumnWidth(0, 84);
    grid->setColumnWidth(1, 173);
    grid->setColumnWidth(2, 151);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setFont(ArialNine());

    ui_->btnLoad = button(41, 303, "Load");
    ui_->btnUnload = button(234, 303, "Unload");
    ui_->btnAbout = button(346, 303, "About");
    ui_->btnConfigure = button(458, 303, "Configure");

    QWidget::setTabOrder(grid, ui_->btnLoad);
    QWidget::setTabOrder(ui_->btnLoad, ui_->btnUnload);
    QWidget::setTabOrder(ui_->btnUnload, ui_->btnAbout);
    QWidget::setTabOrder(ui_->btnAbout, ui_->btnConfigure);
    QWidget::setTabOrder(ui_->btnConfigure, ui_->btnClose);
    QWidget::setTabOrder(ui_->btnClose, ui_->PluginFirst);
    QWidget::setTabOrder(ui_->PluginFirst, list);

    QObject::connect(ui_->btnLoad, &QPushButton::clicked, f, [this] { btnLoadClick(); });
    QObject::connect(ui_->btnUnload, &QPushButton::clicked, f, [this] { btnUnloadClick(); });
    QObject::connect(ui_->btnAbout, &QPushButton::clicked, f, [this] { btnAboutClick(); });
    QObject::connect(ui_->btnConfigure, &QPushButton::clicked, f, [this] { btnConfigureClick(); });
    QObject::connect(ui_->btnClose, &QPushButton::clicked, f, [this] { btnCloseClick(); });
    QObject::connect(ui_->PluginFirst, &QCheckBox::clicked, f, [this] { PluginFirstClick(); });
    QObject::connect(list, &QTableWidget::itemSelectionChanged, f, [this] { UpdateLoadButton(); });
    // A cell of PluginGrid can be selected only when it holds text.
    QObject::connect(grid, &QTableWidget::itemSelectionChanged, f, [this] {
        const auto rows = ui_->PluginGrid->selectionModel()->selectedRows();
        const int row = rows.isEmpty() ? -1 : rows.first().row();
        const QTableWidgetItem* item = row >= 0 ? ui_->PluginGrid->item(row, 0) : nullptr;
        if (row >= 0 && (!item || item->text().isEmpty())) {
            QSignalBlocker block(ui_->PluginGrid);
            ui_->PluginGrid->clearSelection();
            if (ui_->lastGridRow >= 0)
                ui_->PluginGrid->selectRow(ui_->lastGridRow);
            return;
        }
        ui_->lastGridRow = row;
    });
}

void TPluginConfigForm::Show()
{
    if (!ui_)
        Build();
    FormShow();
    ui_->form->show();
    ui_->form->raise();
    ui_->form->activateWindow();
}

void TPluginConfigForm::FormShow()
{
    if (!ui_)
        Build();
    QTableWidget* list = ui_->PluginList;
    list->clearContents();
    list->setRowCount(1);
    list->setItem(0, 0, new QTableWidgetItem(QString()));
    ui_->btnLoad->setEnabled(false);

    const auto names = DetectPlugins();
    detectedCount_ = static_cast<int>(names.size());
    for (int i = 0; i < detectedCount_; ++i) {
        if (i > 0)
            list->setRowCount(i + 1);
        list->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(names[static_cast<size_t>(i)])));
    }
    ClearPluginGrid();
    FillPluginGrid();

    if (detectedCount_ > 0) {
        list->setEnabled(true);
        ui_->PluginGrid->setEnabled(true);
        list->setCurrentCell(0, 0);
        list->selectRow(0);
    } else {
        list->clearSelection();
        list->setCurrentItem(nullptr);
        list->setEnabled(false);
        ui_->PluginGrid->setEnabled(false);
    }
    if (loadedCount_ > 0)
        SelectLoadedRow(1);
    else
        ui_->PluginGrid->clearSelection();
    UpdateLoadButton();
}

void TPluginConfigForm::ClearPluginGrid()
{
    QTableWidget* grid = ui_->PluginGrid;
    grid->setUpdatesEnabled(false);
    grid->clearContents();
    grid->setUpdatesEnabled(true);
    grid->viewport()->update();
    ui_->lastGridRow = -1;
}

void TPluginConfigForm::FillPluginGrid()
{
    loadedCount_ = 0;
    for (int i = 0; i < kMaxPlugins; ++i) {
        if (!GetPluginModule(i))
            continue;
        ++loadedCount_;
        const TPluginInfo info = GetPluginInfo(i);
        WriteRow(loadedCount_, info.Name, info.Description, info.FileExtensions);
    }
}

void TPluginConfigForm::WriteRow(int Row, const std::string& Name, const std::string& Description,
                                 const std::string& Extensions)
{
    const int r = Row - 1;  // row 0 of the grid widget is the first row under the header
    ui_->PluginGrid->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(Name)));
    ui_->PluginGrid->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(Description)));
    ui_->PluginGrid->setItem(r, 2, new QTableWidgetItem(QString::fromStdString(Extensions)));
}

void TPluginConfigForm::SelectLoadedRow(int Row)
{
    if (!ui_)
        return;
    if (Row < 1) {
        ui_->PluginGrid->clearSelection();
        ui_->lastGridRow = -1;
        return;
    }
    ui_->PluginGrid->selectRow(Row - 1);
}

std::string TPluginConfigForm::SelectedLoadedName(int* Row) const
{
    const auto rows = ui_->PluginGrid->selectionModel()->selectedRows();
    *Row = rows.isEmpty() ? 0 : rows.first().row() + 1;
    if (*Row == 0)
        return {};
    const QTableWidgetItem* item = ui_->PluginGrid->item(*Row - 1, 0);
    return item ? item->text().toStdString() : std::string();
}

bool TPluginConfigForm::IsLoadedName(const std::string& Name) const
{
    for (int r = 0; r < loadedCount_; ++r) {
        const QTableWidgetItem* item = ui_->PluginGrid->item(r, 0);
        if (item && SameName(item->text().toStdString(), Name))
            return true;
    }
    return false;
}

void TPluginConfigForm::UpdateLoadButton()
{
    const QTableWidgetItem* item = ui_->PluginList->currentItem();
    const bool selected = item && item->isSelected();
    if (selected)
        ui_->btnLoad->setEnabled(!IsLoadedName(item->text().toStdString()));
    ui_->PluginList->viewport()->update();
}

void TPluginConfigForm::btnLoadClick()
{
    const QTableWidgetItem* item = ui_->PluginList->currentItem();
    const std::string name = item ? item->text().toStdString() : std::string();
    if (name.empty()) {
        Confirm("Select plug-in to load first");
        return;
    }
    switch (LoadPlugin(name)) {
    case plDone: {
        ++loadedCount_;
        const TPluginInfo info = GetPluginInfo(FindPluginByName(name));
        WriteRow(loadedCount_, info.Name, info.Description, info.FileExtensions);
        SelectLoadedRow(loadedCount_);
        UpdateLoadButton();
        break;
    }
    case plEmulatorNotReady: Confirm("Load denied : Output plug-in is not ready"); break;
    case plAlreadyLoaded: Confirm("Load denied : Already loaded before"); break;
    case plNoFreeSlot: Confirm("Load denied : Max. number of plug-ins loaded"); break;
    case plNotAPlugin: Confirm("Load denied : Not a valid Winamp 2 input plug-in"); break;
    default: Confirm("Load denied : Unknown Error"); break;
    }
}

void TPluginConfigForm::btnUnloadClick()
{
    if (loadedCount_ == 0) {
        Confirm("No plug-ins are loaded");
        return;
    }
    int row = 0;
    const std::string name = SelectedLoadedName(&row);
    if (name.empty()) {
        Confirm("Select plug-in to unload first");
        return;
    }
    switch (UnloadPlugin(name)) {
    case plDone:
        if (row == loadedCount_) {
            WriteRow(row, "", "", "");
            --loadedCount_;
            ui_->lastGridRow = -1;
            SelectLoadedRow(loadedCount_);
        } else {
            ClearPluginGrid();
            FillPluginGrid();
        }
        UpdateLoadButton();
        break;
    case plNotLoaded: Confirm("Cannot unload : Plug-in is not loaded"); break;
    case plInUse: Confirm("Cannot unload : Plug-in is in use"); break;
    default: Confirm("Cannot unload : Unknown Error"); break;
    }
}

void TPluginConfigForm::btnAboutClick()
{
    if (loadedCount_ == 0) {
        Confirm("No plug-ins to query are loaded");
        return;
    }
    int row = 0;
    const std::string name = SelectedLoadedName(&row);
    TInModule* m = name.empty() ? nullptr : GetPluginModule(FindPluginByName(name));
    if (!m) {
        Confirm("Select plug-in to query first");
        return;
    }
    if (m->About)
        m->About(static_cast<WinampParentWindow>(ui_->form->winId()));
}

void TPluginConfigForm::btnConfigureClick()
{
    if (loadedCount_ == 0) {
        Confirm("No plug-ins to configure are loaded");
        return;
    }
    int row = 0;
    const std::string name = SelectedLoadedName(&row);
    TInModule* m = name.empty() ? nullptr : GetPluginModule(FindPluginByName(name));
    if (!m) {
        Confirm("Select plug-in to configure first");
        return;
    }
    if (m->Config)
        m->Config(static_cast<WinampParentWindow>(ui_->form->winId()));
}

void TPluginConfigForm::btnCloseClick()
{
    ui_->form->close();
}

void TPluginConfigForm::PluginFirstClick()
{
    PostMessage(target_, kPluginFirstMessage, 0, ui_->PluginFirst->isChecked() ? 1 : 0);
}

bool TPluginConfigForm::SelectDetected(const std::string& FileName)
{
    if (!ui_)
        return false;
    for (int r = 0; r < ui_->PluginList->rowCount(); ++r) {
        const QTableWidgetItem* item = ui_->PluginList->item(r, 0);
        if (item && item->text().toStdString() == FileName) {
            ui_->PluginList->setCurrentCell(r, 0);
            ui_->PluginList->selectRow(r);
            UpdateLoadButton();
            return true;
        }
    }
    return false;
}

QDialog* TPluginConfigForm::Window() const { return ui_ ? ui_->form : nullptr; }
QTableWidget* TPluginConfigForm::DetectedList() const { return ui_ ? ui_->PluginList : nullptr; }
QTableWidget* TPluginConfigForm::LoadedGrid() const { return ui_ ? ui_->PluginGrid : nullptr; }
QPushButton* TPluginConfigForm::LoadButton() const { return ui_ ? ui_->btnLoad : nullptr; }
QCheckBox* TPluginConfigForm::PluginFirstBox() const { return ui_ ? ui_->PluginFirst : nullptr; }
